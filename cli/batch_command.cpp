#include "cli/batch_command.h"

#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "batch/batch_job.h"
#include "batch/batch_run.h"
#include "cli/terminal.h"
#include "host/host_services.h"
#include "host/image_pipeline.h"
#include "host/path_fields.h"
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "host/temporary_files.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/side_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pixmill::cli {

namespace {

struct InputFile {
    std::string path;
    std::string folder; // below the input folder it came from, "" or ending with "/"
};

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What the walk over the input folders found besides pictures: each folder
// read (by device and inode, so a link back up the tree is read once) and a
// log line for every entry left out.
struct FolderWalk {
    bool recursive = false;
    std::set<std::pair<dev_t, ino_t>> visited;
    std::vector<std::string> notes;
};

// The files of a folder in name order (hidden ones left out); with
// recursive, those of its sub-folders after them, keeping their folders.
// Only regular files are inputs: FIFOs, sockets and devices are named in
// the notes and left out.
void CollectFolder(const std::string& root, const std::string& folder, FolderWalk& walk,
                   std::vector<InputFile>& files) {
    std::vector<std::string> names;
    const std::string directory = root + folder;
    struct stat self {};
    if (stat(directory.c_str(), &self) != 0 || !walk.visited.insert({self.st_dev, self.st_ino}).second) {
        walk.notes.push_back(directory + ": the same folder as one already read (a link loop); not read again");
        return;
    }
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> subfolders;
    for (const std::string& name : names) {
        const std::string path = directory + name;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            walk.notes.push_back(path + ": " + std::strerror(errno) + "; skipped");
        } else if (S_ISDIR(info.st_mode)) {
            subfolders.push_back(name);
        } else if (const char* kind = NonFileKind(info.st_mode)) {
            walk.notes.push_back(path + ": " + kind + ", not a picture file; skipped");
        } else {
            files.push_back({path, folder});
        }
    }
    if (walk.recursive) {
        for (const std::string& name : subfolders) {
            CollectFolder(root, folder + name + "/", walk, files);
        }
    }
}

uint32_t Milliseconds() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The progress line: redrawn in place on a terminal, one line each otherwise.
void ShowStatus(const std::string& text, bool quiet) {
    if (quiet) {
        return;
    }
    if (isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

void EndStatus(bool quiet) {
    if (!quiet && isatty(STDERR_FILENO)) {
        std::fputc('\n', stderr);
    }
}

// A log that collects one image's lines in memory (worker processes).
class TextStream : public CVStream {
  public:
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        text.append(static_cast<const char*>(buffer), count);
        return count;
    }
    int64_t Seek(int64_t, int) override { return static_cast<int64_t>(text.size()); }
    std::string text;
};

// Moves all size bytes through a pipe (reading or writing); false when the
// other end is gone.
bool Transfer(int fd, void* data, size_t size, bool reading) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = reading ? read(fd, bytes, size) : write(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    return Transfer(fd, const_cast<void*>(data), size, false);
}

bool ReadAll(int fd, void* data, size_t size) {
    return Transfer(fd, data, size, true);
}

std::string StartText(int total) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s%d\r\n\r\nStart batch processing...\r\n\r\n", kLogStart, total);
    return text;
}

std::string FinishText(int processed, int total) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "\r\nFinish batch processing\r\n\r\nThe number of successfuly processed "
                  "images : %d\r\nThe number of unprocessed images : %d\r\n",
                  processed, total - processed);
    return text;
}

struct Outcome {
    int processed = 0;
    int total = 0;
    bool interrupted = false;
    bool nothingLoaded = false;
};

// How the run's log is written: over any file (--force), and the inputs that
// were left out, named after the start text.
struct RunLog {
    bool replaceAny = false;
    std::vector<std::string> notes;
};

// One process, one image after the other.
Outcome RunInProcess(BatchJob& job, BatchDestination* destination, ProgressDisplay* progress,
                     bool quiet, const RunLog& runLog) {
    BatchRun run(job, &job.FileSource(), destination);
    run.SetReplaceAnyLog(runLog.replaceAny);
    run.SetStartNotes(runLog.notes);
    run.SetProgressDisplay(progress);
    run.SetClock(Milliseconds);
    Outcome outcome;
    if (!run.Start()) {
        outcome.total = run.Total();
        outcome.nothingLoaded = true;
        return outcome;
    }
    if (const auto* file = dynamic_cast<const FileStream*>(run.LogStream())) {
        SetBreakLog(file->Descriptor());
    }
    ShowStatus(BatchRun::StatusText(0, run.Total(), 1, 0), quiet);
    run.ApplyToAll([quiet](const std::string& text) { ShowStatus(text, quiet); },
                   [&run] {
                       if (BreakRequested()) {
                           run.Cancel();
                       }
                   });
    EndStatus(quiet);
    outcome.processed = run.Processed();
    outcome.total = run.Total();
    outcome.interrupted = run.Interrupted();
    SetBreakLog(-1);
    return outcome;
}

// A worker: takes image numbers from its task pipe, answers each with
// {number, saved, log length, log lines}.
[[noreturn]] void WorkerMain(BatchJob& job, BatchDestination* destination,
                             const std::vector<InputFile>& files, int tasks, int results) {
    InstallWorkerBreakHandler();
    {
        TextStream log;
        TerminalProgress breaks(false); // draws nothing, passes breaks on
        job.SetProgressDisplay(&breaks);
        BatchRun run(job, &job.FileSource(), destination);
        run.SetProgressDisplay(&breaks);
        run.SetLogStream(&log);
        run.Prepare();
        int32_t index = 0;
        while (ReadAll(tasks, &index, sizeof index)) {
            const InputFile& file = files[static_cast<size_t>(index)];
            job.FileSource().SetFiles({file.path}, {file.folder});
            log.text.clear();
            const int32_t saved = run.ProcessNext() ? 1 : 0;
            const uint32_t length = static_cast<uint32_t>(log.text.size());
            if (!WriteAll(results, &index, sizeof index) ||
                !WriteAll(results, &saved, sizeof saved) ||
                !WriteAll(results, &length, sizeof length) ||
                !WriteAll(results, log.text.data(), log.text.size())) {
                break;
            }
        }
        destination->EndBatch(&log, !BreakRequested());
    }
    _exit(0);
}

// One worker process as the parent sees it.
struct Worker {
    pid_t pid = -1;
    int tasks = -1, results = -1; // the pipes' parent ends (-1: closed)
    int current = -1;             // the image it works on
    int journal = -1;             // the temporary files it made (see RemoveLeftovers)
};

// An unnamed file the worker lists its temporary files in: a worker that
// is killed cannot remove them itself.
int MakeJournal() {
    const char* folder = std::getenv("TMPDIR");
    const std::string dir = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) { // file systems without O_TMPFILE
        std::string pattern = dir + "/pixmill-journal-XXXXXX";
        fd = mkostemp(pattern.data(), O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            unlink(pattern.c_str());
        }
    }
    return fd;
}

// Forks the workers, each with the ends of its two pipes; signals are held
// meanwhile so that a Ctrl+C reaches every worker or none.
std::vector<Worker> StartWorkers(BatchJob& job, BatchDestination* destination,
                                 const std::vector<InputFile>& files, int jobs) {
    std::vector<Worker> workers(static_cast<size_t>(jobs));
    std::fflush(stdout);
    std::fflush(stderr);
    const BreakSignalsHeld held;
    for (Worker& worker : workers) {
        int taskPipe[2], resultPipe[2];
        if (pipe(taskPipe) != 0 || pipe(resultPipe) != 0) {
            throw CVFileError::FromErrno(errno, "pipe");
        }
        worker.journal = MakeJournal();
        worker.pid = fork();
        if (worker.pid == 0) {
            temporary_files::JournalTo(worker.journal);
            close(taskPipe[1]);
            close(resultPipe[0]);
            for (const Worker& other : workers) {
                if (other.pid > 0) {
                    close(other.tasks);
                    close(other.results);
                }
            }
            // Each worker's pixel loops get its share of the cores, unless
            // the user chose a thread count.
            const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            setenv("PIXMILL_PIXEL_THREADS", std::to_string(std::max(1, cores / jobs)).c_str(), 0);
            WorkerMain(job, destination, files, taskPipe[0], resultPipe[1]);
        }
        RegisterWorker(worker.pid);
        close(taskPipe[0]);
        close(resultPipe[1]);
        worker.tasks = taskPipe[1];
        worker.results = resultPipe[0];
    }
    return workers;
}

// The parent's side of a run in worker processes: hands out image numbers,
// collects the answers and writes the log in input order.
class WorkerRun {
  public:
    WorkerRun(const std::vector<InputFile>& files, std::vector<Worker> workers, CVStream& log,
              bool quiet)
        : files(files), workers(std::move(workers)), log(log), quiet(quiet),
          total(static_cast<int>(files.size())), startTime(Milliseconds()) {}

    // Until every worker has ended: give work, take answers, write lines.
    void Run() {
        for (Worker& worker : workers) {
            Give(worker);
        }
        while (WaitForAnswers()) {
            PassBreakOn();
            for (size_t i = 0; i < polls.size(); ++i) {
                if ((polls[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                    TakeAnswer(*polled[i]);
                }
            }
            WriteInOrder();
        }
        for (Worker& worker : workers) {
            int status = 0;
            waitpid(worker.pid, &status, 0);
            // What a killed worker was writing goes with it.
            if (worker.journal >= 0) {
                temporary_files::RemoveJournaled(worker.journal);
                close(worker.journal);
                worker.journal = -1;
            }
        }
        ForgetWorkers();
    }

    // The finish text, or what finished out of order and the interruption.
    Outcome Finish() {
        Outcome outcome;
        outcome.total = total;
        outcome.interrupted = written < total && BreakRequested();
        if (outcome.interrupted) {
            for (auto& [index, result] : done) {
                processed += result.first ? 1 : 0;
                Write(result.second);
            }
            Write("Batch processing was interrupted.");
        } else {
            // Every image is named: those no worker was left to take too.
            for (int index = written; index < total; ++index) {
                if (const auto it = done.find(index); it != done.end()) {
                    processed += it->second.first ? 1 : 0;
                    Write(it->second.second);
                } else {
                    Write(NameWithExtension(files[static_cast<size_t>(index)].path) +
                          " save error : not processed, every worker process ended "
                          "unexpectedly \r\n");
                }
            }
            Write(FinishText(processed, total));
        }
        outcome.processed = processed;
        return outcome;
    }

  private:
    void Write(const std::string& text) { log.Write(text.data(), text.size()); }

    // The next image for the worker, or the end of its work.
    void Give(Worker& worker) {
        if (next < total && !BreakRequested()) {
            worker.current = next;
            const int32_t index = next++;
            if (WriteAll(worker.tasks, &index, sizeof index)) {
                return;
            }
            worker.current = -1;
            --next;
        }
        CloseTasks(worker); // no more work: the worker ends
    }

    static void CloseTasks(Worker& worker) {
        if (worker.tasks >= 0) {
            close(worker.tasks);
            worker.tasks = -1;
        }
    }

    // Polls the result pipes still open; false when none is (or poll fails).
    bool WaitForAnswers() {
        polls.clear();
        polled.clear();
        for (Worker& worker : workers) {
            if (worker.results >= 0) {
                polls.push_back({worker.results, POLLIN, 0});
                polled.push_back(&worker);
            }
        }
        if (polls.empty()) {
            return false;
        }
        return poll(polls.data(), polls.size(), 200) >= 0 || errno == EINTR;
    }

    // After Ctrl+C the workers stop their images; idle ones get no more.
    void PassBreakOn() {
        if (!BreakRequested() || breakPassedOn) {
            return;
        }
        breakPassedOn = true;
        for (Worker& worker : workers) {
            kill(worker.pid, SIGUSR1);
            if (worker.current < 0) {
                CloseTasks(worker);
            }
        }
    }

    // One answer {number, saved, log length, log lines}; a worker that
    // ended instead fails its unfinished image.
    void TakeAnswer(Worker& worker) {
        int32_t index = 0, saved = 0;
        uint32_t length = 0;
        std::string text;
        bool ok = ReadAll(worker.results, &index, sizeof index) &&
                  ReadAll(worker.results, &saved, sizeof saved) &&
                  ReadAll(worker.results, &length, sizeof length);
        if (ok) {
            text.resize(length);
            ok = ReadAll(worker.results, text.data(), length);
        }
        if (!ok) {
            if (worker.current >= 0) {
                const std::string& path = files[static_cast<size_t>(worker.current)].path;
                done[worker.current] = {false, NameWithExtension(path) +
                                                   " save error : the worker process ended "
                                                   "unexpectedly \r\n"};
                ++completed;
                worker.current = -1;
            }
            close(worker.results);
            worker.results = -1;
            CloseTasks(worker);
            return;
        }
        done[index] = {saved != 0, std::move(text)};
        worker.current = -1;
        ++completed;
        if (completed < total) { // the image that comes next
            ShowStatus(BatchRun::StatusText(completed, total, static_cast<uint32_t>(completed),
                                            Milliseconds() - startTime),
                       quiet);
        }
        Give(worker);
    }

    // Lines go out in input order as soon as the images before are done.
    void WriteInOrder() {
        for (auto it = done.find(written); it != done.end(); it = done.find(written)) {
            processed += it->second.first ? 1 : 0;
            Write(it->second.second);
            done.erase(it);
            ++written;
        }
    }

    const std::vector<InputFile>& files;
    std::vector<Worker> workers;
    CVStream& log;
    const bool quiet;
    const int total;
    const uint32_t startTime;
    int next = 0, written = 0, completed = 0, processed = 0;
    bool breakPassedOn = false;
    std::map<int, std::pair<bool, std::string>> done; // answers not yet written: {saved, lines}
    std::vector<pollfd> polls;
    std::vector<Worker*> polled;
};

// N worker processes, each with its own copy of the plug-ins; the log keeps
// the images' lines in input order.
Outcome RunInWorkers(BatchJob& job, BatchDestination* destination,
                     const std::vector<InputFile>& files, int jobs, bool quiet,
                     const RunLog& runLog) {
    const std::unique_ptr<FileStream> logFile = OpenLogFile(job.LogFileName(), runLog.replaceAny);
    FileStream& log = *logFile;
    std::string start = StartText(static_cast<int>(files.size()));
    for (const std::string& note : runLog.notes) {
        start += note + "\r\n";
    }
    if (!runLog.notes.empty()) {
        start += "\r\n";
    }
    log.Write(start.data(), start.size());
    SetBreakLog(log.Descriptor());
    WorkerRun run(files, StartWorkers(job, destination, files, jobs), log, quiet);
    run.Run();
    EndStatus(quiet);
    const Outcome outcome = run.Finish();
    SetBreakLog(-1);
    log.Close();
    return outcome;
}

// The operation by the profile's name ("Filter Sharpen") or by its menu name
// without "&"; -1 when none has it.
int FindJobOperation(BatchJob& job, const std::string& name) {
    for (size_t i = 0; i < job.Operations().size(); ++i) {
        if (job.Operations()[i].name == name) {
            return static_cast<int>(i);
        }
    }
    const int command = ImagePipeline::FindOperation(job.Plugins(), name);
    for (size_t i = 0; i < job.Operations().size(); ++i) {
        if (command != 0 && job.CommandIdOf(static_cast<int>(i)) == command) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Format names are taken in any case ("webp" and "WEBP" for "WebP").
std::string FormatNameAsListed(BatchJob& job, const std::string& name) {
    for (const BatchJob::FormatEntry& entry : job.Formats()) {
        const char* listed = entry.format->GetName(false);
        if (strcasecmp(listed, name.c_str()) == 0) {
            return listed;
        }
    }
    return name;
}

int ConfigureJob(BatchJob& job, const Options& options) {
    if (!options.profile.empty()) {
        try {
            job.LoadProfileFile(options.profile);
        } catch (CQorelError& error) {
            std::fprintf(stderr, "pixmill-cli: %s\n", error.Report(false));
            return ExitFailure;
        }
    } else if (!options.formats.empty() || !options.operations.empty()) {
        job.ReadProfileText(std::string()); // only what the command line chooses
    }
    for (const std::string& name : options.formats) {
        if (!job.SelectFormat(FormatNameAsListed(job, name))) {
            PrintUsageError("unknown output format '" + name + "' (see 'pixmill-cli formats')");
            return ExitUsage;
        }
    }
    for (const std::string& name : options.operations) {
        const int operation = FindJobOperation(job, name);
        if (operation < 0 || !job.ChooseOperation(job.Operations()[operation].name)) {
            PrintUsageError("unknown operation '" + name + "' (see 'pixmill-cli ops')");
            return ExitUsage;
        }
    }
    if (!options.logFile.empty()) {
        job.SetLogFileName(options.logFile);
    } else if (options.profile.empty()) {
        job.SetLogFileName(options.outDir + BatchJob::kDefaultLogName);
    }
    job.SetFastDecode(!options.exactDecode);
    job.SetStripMetadata(options.strip);
    job.SetConvertToSrgb(options.toSrgb);
    job.SetMetadataPrivacy(PrivacyOf(options));
    return ExitOk;
}

int ConfigureFileDest(BatchFileDest& dest, const Options& options) {
    dest.path = options.outDir;
    dest.isThumbnail = options.thumbWidth > 0 ? 1 : 0;
    dest.thumbnail.width = options.thumbWidth > 0 ? options.thumbWidth : 100;
    dest.thumbnail.height = options.thumbHeight > 0 ? options.thumbHeight : 100;
    dest.thumbnail.fitToSize = options.fit || options.smartCut ? 1 : 0;
    dest.thumbnail.discardAspectRatio = options.fit && !options.smartCut ? 1 : 0;
    dest.thumbnail.smartCut = options.smartCut ? 1 : 0;
    dest.newFileName = 1;
    dest.mainImageMode = options.thumbsOnly     ? MainThumbnailsOnly
                         : options.copyOriginal ? MainCopySource
                                                : MainEncoded;
    dest.thumbName = options.thumbName;
    if (dest.isThumbnail) {
        const FieldCheck name = CheckFileNameField(options.thumbName);
        if (!name.accepted) {
            PrintUsageError("--thumb-name: " + name.message);
            return ExitUsage;
        }
        dest.thumbName = name.value;
    }
    dest.SetKeepSubfolders(true);
    dest.SetReplaceReadOnly(options.force);
    return ExitOk;
}

// A destination library's own settings (--dest-profile, --project), then
// its check of them.
int ConfigurePluginDest(BatchJob& job, int index, HostServices& host, const Options& options) {
    BatchDestination* destination = job.DestinationAt(index);
    auto setOption = reinterpret_cast<SetBatchDestinationOptionFn>(
        job.DestinationModule(index) != nullptr
            ? dlsym(job.DestinationModule(index), "SetBatchDestinationOption")
            : nullptr);
    if (setOption == nullptr) {
        if (!options.destProfile.empty() || !options.project.empty() || !options.sizes.empty()) {
            PrintUsageError("destination '" + options.destination +
                            "' takes no --dest-profile, --project or --sizes");
            return ExitUsage;
        }
    } else {
        if (!options.destProfile.empty()) {
            // The library only says whether it could read the profile; the
            // reason (a device, a folder, too large, binary) is said here.
            try {
                ReadSideFile(options.destProfile, "an HTML generation profile");
            } catch (CVFileError& error) {
                std::fprintf(stderr, "pixmill-cli: %s\n", error.Message());
                return ExitFailure;
            }
        }
        if (!options.destProfile.empty() &&
            setOption("profile", options.destProfile.c_str()) == 0) {
            std::fprintf(stderr, "pixmill-cli: cannot read %s\n", options.destProfile.c_str());
            return ExitFailure;
        }
        if (!options.sizes.empty() && setOption("sizes", options.sizes.c_str()) == 0) {
            const auto* ui = dynamic_cast<CliUserInterface*>(host.UserInterface());
            PrintUsageError("--sizes: " + (ui != nullptr && !ui->lastMessage.empty()
                                               ? ui->lastMessage
                                               : "destination '" + options.destination +
                                                     "' takes no picture sizes"));
            return ExitUsage;
        }
        // Pages go into DIR; "index.htm" names them when no project is given.
        const std::string project =
            options.outDir + (options.project.empty() ? "index.htm" : options.project);
        if (setOption("project", project.c_str()) == 0 && !options.project.empty()) {
            PrintUsageError("destination '" + options.destination + "' takes no --project");
            return ExitUsage;
        }
        // A gallery leaves the location out unless this run keeps it,
        // whatever the desktop's settings page chose.
        setOption("keep-location", options.keepLocation ? "1" : "0");
        if (options.shardCount > 1) {
            const std::string shard =
                std::to_string(options.shardIndex) + "/" + std::to_string(options.shardCount);
            if (setOption("shard", shard.c_str()) == 0) {
                PrintUsageError("destination '" + options.destination +
                                "' sees the whole run and cannot be sharded");
                return ExitUsage;
            }
        }
        if (options.pagesOnly && setOption("pages-only", "1") == 0) {
            const auto* ui = dynamic_cast<CliUserInterface*>(host.UserInterface());
            std::fprintf(stderr, "pixmill-cli: %s\n",
                         ui != nullptr && !ui->lastMessage.empty()
                             ? ui->lastMessage.c_str()
                             : "this destination writes no pages from shards");
            return ExitFailure;
        }
    }
    if (setOption == nullptr && options.pagesOnly) {
        PrintUsageError("destination '" + options.destination + "' writes no pages");
        return ExitUsage;
    }
    if (!destination->ApplyPage()) {
        const auto* ui = dynamic_cast<CliUserInterface*>(host.UserInterface());
        std::fprintf(stderr, "pixmill-cli: destination '%s' refused its settings%s%s\n",
                     options.destination.c_str(), ui ? ": " : "",
                     ui ? ui->lastMessage.c_str() : "");
        return ExitFailure;
    }
    return ExitOk;
}

// The pages step of a sharded gallery: every shard's pictures, taken from
// their parts, become the pages one process would have written.
// Its log is a batch log like the shards' (no picture is read here).
int WriteGalleryPages(BatchJob& job, BatchDestination& destination, bool quiet, bool force) {
    try {
        const std::unique_ptr<FileStream> log = OpenLogFile(job.LogFileName(), force);
        const std::string start =
            StartText(0) + "Gallery pages from the pictures of every shard\r\n";
        log->Write(start.data(), start.size());
        destination.EndBatch(log.get(), true);
        log->Close();
    } catch (CQorelError& error) {
        std::fprintf(stderr, "pixmill-cli: cannot write the log: %s\n", error.Report(false));
        return ExitFailure;
    }
    if (!quiet) {
        std::printf("gallery pages written; log: %s\n", job.LogFileName().c_str());
    }
    return ExitOk;
}

} // namespace

int CommandBatch(HostServices& host, PluginManager& plugins, ProgressDisplay* progress,
                 const std::string& pluginRoot, const Options& given) {
    Options options = given;
    if ((options.arguments.empty() && !options.pagesOnly) || options.outDir.empty()) {
        PrintUsageError("batch needs INPUT... and --out DIR");
        return ExitUsage;
    }
    AddTrailingSlash(options.outDir);
    std::vector<InputFile> files;
    FolderWalk walk;
    walk.recursive = options.recursive;
    // The pages step reads no picture: the inputs (the shards' own command
    // line may be reused as it is) are not looked at.
    for (std::string input : options.pagesOnly ? std::vector<std::string>() : options.arguments) {
        struct stat info {};
        if (IsDirectory(input)) {
            AddTrailingSlash(input);
            CollectFolder(input, "", walk, files);
        } else if (stat(input.c_str(), &info) == 0 && NonFileKind(info.st_mode) != nullptr) {
            walk.notes.push_back(input + ": " + NonFileKind(info.st_mode) +
                                 ", not a picture file; skipped");
        } else if (FileExists(input.c_str())) {
            files.push_back({input, ""});
        } else {
            PrintUsageError(input + ": no such file or folder");
            return ExitUsage;
        }
    }
    for (const std::string& note : walk.notes) {
        if (!options.quiet) {
            std::fprintf(stderr, "pixmill-cli: %s\n", note.c_str());
        }
    }
    if (options.shardCount > 1) {
        std::vector<InputFile> shard;
        for (size_t i = static_cast<size_t>(options.shardIndex); i < files.size();
             i += static_cast<size_t>(options.shardCount)) {
            shard.push_back(files[i]);
        }
        files = std::move(shard);
    }
    if (!dirExists(options.outDir.c_str()) && !CreatePath(options.outDir)) {
        std::fprintf(stderr, "pixmill-cli: Fail to create directory %s\n", options.outDir.c_str());
        return ExitFailure;
    }

    // Made before any worker starts, so that no two workers race for them.
    for (const InputFile& file : files) {
        const std::string folder = options.outDir + file.folder;
        if (!file.folder.empty() && !dirExists(folder.c_str()) && !CreatePath(folder)) {
            std::fprintf(stderr, "pixmill-cli: Fail to create directory %s\n", folder.c_str());
            return ExitFailure;
        }
    }

    BatchJob job(host, plugins);
    job.SetProgressDisplay(progress);
    job.LoadSourcesAndDestinations(pluginRoot);
    if (int code = ConfigureJob(job, options); code != ExitOk) {
        return code;
    }
    BatchDestination* destination = job.DestinationAt(0);
    if (!options.destination.empty()) {
        destination = nullptr;
        for (int i = 0; i < job.DestinationCount(); ++i) {
            if (options.destination == job.DestinationAt(i)->GetName()) {
                destination = job.DestinationAt(i);
                job.SetCurrentDestination(i);
            }
        }
        if (destination == nullptr) {
            PrintUsageError("unknown destination '" + options.destination + "'");
            return ExitUsage;
        }
        if (destination != job.DestinationAt(0)) {
            if (int code = ConfigurePluginDest(job, job.CurrentDestination(), host, options);
                code != ExitOk) {
                return code;
            }
        } else if (options.pagesOnly) {
            PrintUsageError("destination '" + options.destination + "' writes no pages");
            return ExitUsage;
        }
    }
    if (options.pagesOnly) {
        return WriteGalleryPages(job, *destination, options.quiet, options.force);
    }
    if (int code = ConfigureFileDest(job.FileDest(), options); code != ExitOk) {
        return code;
    }
    std::vector<std::string> paths, folders;
    for (const InputFile& file : files) {
        paths.push_back(file.path);
        folders.push_back(file.folder);
    }
    job.FileSource().SetFiles(paths, folders);

    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    // A destination other than the file destination may collect the whole
    // run (web pages): it sees every image in one process.
    if (destination != job.DestinationAt(0)) {
        jobs = 1;
    }
    jobs = std::clamp(jobs, 1, std::max(1, static_cast<int>(files.size())));

    Outcome outcome;
    try {
        const RunLog runLog{options.force, walk.notes};
        outcome = jobs > 1 ? RunInWorkers(job, destination, files, jobs, options.quiet, runLog)
                           : RunInProcess(job, destination, progress, options.quiet, runLog);
    } catch (CQorelError& error) {
        // The log could not be created: no image was touched.
        std::fprintf(stderr, "pixmill-cli: cannot write the log: %s\n", error.Report(false));
        return ExitFailure;
    }
    if (!options.quiet) {
        std::printf("%d of %d images processed%s; log: %s\n", outcome.processed, outcome.total,
                    outcome.interrupted ? " (interrupted)" : "", job.LogFileName().c_str());
    }
    return outcome.processed == outcome.total && !outcome.interrupted ? ExitOk : ExitFailure;
}

} // namespace pixmill::cli
