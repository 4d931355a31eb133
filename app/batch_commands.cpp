#include "app/batch_commands.h"

#include "app/app_context.h"
#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "batch/batch_job.h"
#include "batch/gui/batch_dialog.h"
#include "batch/gui/batch_settings_sheet.h"
#include "batch/image_list_source.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_frame.h"
#include "desktop/gui/status_progress.h"
#include "desktop/gui/workspace.h"
#include "host/doc_template.h"
#include "host/host_services.h"
#include "host/image_doc.h"
#include "host/image_pipeline.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QUrl>

namespace pixmill {

BatchCommands::BatchCommands(Workspace& workspace, QWidget* parent, AppContext& app)
    : workspace(workspace), parent(parent), app(app),
      job(std::make_unique<BatchJob>(app.Host(), app.Plugins())) {
    job->LoadSourcesAndDestinations(app.PluginRoot());
    // As the command line's batch: a JPEG whose first operation reduces it
    // at least twofold is decoded at 1/2, 1/4 or 1/8 and resampled exactly
    // from there.
    job->SetFastDecode(true);
    job->SetProgressDisplay(workspace.Progress());
    job->FileSource().SetHelpHandler([](int topic) { OpenHelpPage(topic); });
    job->FileDest().SetHelpHandler([](int topic) { OpenHelpPage(topic); });
    job->FileDest().SetAskFileName([parent](const std::string& name) -> std::optional<std::string> {
        bool ok = false;
        const QString entered = QInputDialog::getText(parent, QObject::tr("Image File Name"),
                                                      QObject::tr("File name :"), QLineEdit::Normal,
                                                      QString::fromStdString(name), &ok);
        if (!ok || entered.trimmed().isEmpty()) {
            return std::nullopt;
        }
        return QFileInfo(entered.trimmed()).fileName().toStdString();
    });
    logViewer = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

BatchCommands::~BatchCommands() = default;

void BatchCommands::RunDialog(BatchSource* source) {
    BatchDestination* destination = job->DestinationAt(job->CurrentDestination());
    job->SetConvertToSrgb(app.Settings().image.saveAsSrgb != 0);
    {
        BatchDialog dialog(*job, source, destination, app.Services(), workspace.Progress(), parent);
        if (dialog.Start()) {
            app.Services().RunDialog(dialog);
        }
    }
    if (job->ShowLogAfterRun() && logViewer) {
        logViewer(QFileInfo(QString::fromStdString(job->LogFileName())).absoluteFilePath());
    }
}

void BatchCommands::RunBatch() {
    {
        BatchSettingsSheet sheet(*job, app.Services(), BatchSettingsSheet::AllPages, parent);
        if (app.Services().RunDialog(sheet) != QDialog::Accepted) {
            return;
        }
    }
    BatchSource* source = job->SourceAt(job->CurrentSource());
    if (source->GetCount() > 0) {
        RunDialog(source);
    }
}

void BatchCommands::BatchOpen() {
    {
        BatchSettingsSheet sheet(*job, app.Services(), BatchSettingsSheet::SourcePage, parent);
        if (app.Services().RunDialog(sheet) != QDialog::Accepted) {
            return;
        }
    }
    BatchSource* source = job->SourceAt(job->CurrentSource());
    const int kind = source->GetContentKind();
    while (BatchItem* item = source->NextItem(nullptr)) {
        const std::string name = item->name != nullptr ? item->name : "";
        try {
            if (kind == ContentFilePath) {
                workspace.OpenFile(QString::fromLocal8Bit(static_cast<const char*>(item->content)));
            } else if (ImageDocTemplate* documentTemplate = app.ImageTemplate()) {
                CVImage picture(&app.Host());
                ImageMetadata metadata;
                if (kind == ContentImage) {
                    CVImage::CopyImage(&picture, static_cast<const CVImage*>(item->content),
                                       nullptr);
                } else {
                    ReadImageByContent(app.Plugins(), *static_cast<CVStream*>(item->content),
                                       picture, nullptr, workspace.Progress(), "Open " + name,
                                       nullptr, &metadata);
                }
                std::unique_ptr<ImageDoc> document =
                    documentTemplate->OpenFromImage(picture, &metadata);
                document->SetTitle(name);
                if (ImageFrame* opened = workspace.AddDocument(std::move(document))) {
                    opened->UpdateTitle();
                }
            }
        } catch (CQorelError& error) {
            error.Report(true);
        }
        source->ReleaseItem(false);
    }
}

void BatchCommands::Export(bool allImages) {
    std::vector<ImageListSource::Entry> entries;
    for (ImageFrame* opened :
         allImages ? workspace.Frames() : QList<ImageFrame*>{workspace.ActiveFrame()}) {
        if (opened != nullptr) {
            const ImageDoc& document = opened->Document();
            entries.push_back({document.Title(), &document.Image()});
        }
    }
    ExportEntries(std::move(entries));
}

void BatchCommands::ExportImage(const std::string& title, const CVImage& image) {
    ExportEntries({{title, &image}});
}

void BatchCommands::ExportEntries(std::vector<ImageListSource::Entry> entries) {
    if (entries.empty()) {
        return;
    }
    {
        BatchSettingsSheet sheet(
            *job, app.Services(),
            BatchSettingsSheet::ProcessingPage | BatchSettingsSheet::DestinationPage, parent);
        if (app.Services().RunDialog(sheet) != QDialog::Accepted) {
            return;
        }
    }
    bool anyFormat = false;
    for (const BatchJob::FormatEntry& format : job->Formats()) {
        anyFormat = anyFormat || format.selected;
    }
    if (!anyFormat) {
        return;
    }
    ImageListSource source(std::move(entries));
    RunDialog(&source);
}

} // namespace pixmill
