// A source manager with one built-in source, for the scanner client's tests.
// It keeps the protocol state itself and refuses calls out of order, so a
// client that skips or reorders a step fails here. FakeDsmConfigure sets up
// what the source does:
//   select=cancel        the selection dialog is cancelled
//   images=N             N pictures are announced when the source is enabled
//   close=1              the source asks to be closed once enabled
//   thread=1             events come from a thread of the source
//   bad=K                picture K has a header no program can read
//   cancel=K             the transfer of picture K is cancelled
//   fail=MSG             the call with that message fails (opendsm, opends,
//                        callback, enableds, xfer, endxfer, disableds, ...)
#include "acquisition/twain_protocol.h"
#include "tests/test-plugins/fake_twain_pattern.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

using namespace pixmill::twain;

namespace {

struct Config {
    bool cancelSelection = false;
    int images = 0;
    bool closeRequest = false;
    bool useThread = false;
    int badImage = -1;
    int cancelImage = -1;
    std::string fail;
};

Config config;
std::atomic<int> dsmState{2};
TW_IDENTITY app{};
TW_IDENTITY source{};
DSMENTRYPROC callback = nullptr;
int delivered = 0; // pictures handed out in this session
int pending = 0;
std::atomic<int> liveHandles{0};
std::thread eventThread;

std::string ValueOf(const std::string& text, const std::string& key) {
    const std::string needle = key + "=";
    size_t at = 0;
    while ((at = text.find(needle, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == ';') {
            const size_t end = text.find(';', at);
            return text.substr(at + needle.size(), end == std::string::npos
                                                       ? std::string::npos
                                                       : end - at - needle.size());
        }
        ++at;
    }
    return {};
}

int IntOf(const std::string& text, const std::string& key, int fallback) {
    const std::string value = ValueOf(text, key);
    return value.empty() ? fallback : std::atoi(value.c_str());
}

bool Fails(const char* message) {
    return config.fail == message;
}

TW_HANDLE Allocate(TW_UINT32 size) {
    ++liveHandles;
    return std::calloc(1, size);
}

void Free(TW_HANDLE handle) {
    if (handle != nullptr) {
        --liveHandles;
        std::free(handle);
    }
}

TW_MEMREF Lock(TW_HANDLE handle) {
    return handle;
}

void Unlock(TW_HANDLE) {}

void JoinEvents() {
    if (eventThread.joinable()) {
        eventThread.join();
    }
}

void SendEvents() {
    TW_IDENTITY destination = app;
    if (pending > 0) {
        dsmState = 6;
        callback(&source, &destination, DG_CONTROL, 0, MSG_XFERREADY, nullptr);
    }
    if (config.closeRequest) {
        callback(&source, &destination, DG_CONTROL, 0, MSG_CLOSEDSREQ, nullptr);
    }
}

TW_HANDLE MakePicture(int k) {
    const int depth = fake_twain::DepthOf(k);
    const int width = fake_twain::WidthOf(k);
    const int height = fake_twain::HeightOf(k);
    const int colors = depth <= 8 ? 1 << depth : 0;
    const size_t stride = ((size_t(depth) * size_t(width) + 31) / 8) & ~size_t{3};
    auto* dib = static_cast<uint8_t*>(Allocate(40 + colors * 4 + stride * height));
    const int32_t header[10] = {40, width, height, 1 | (depth << 16), 0, 0, 2835, 2835, colors, 0};
    std::memcpy(dib, header, 40);
    if (k == config.badImage) {
        dib[14] = 16; // a depth the program cannot hold
    }
    for (int i = 0; i < colors; ++i) {
        const uint8_t level = static_cast<uint8_t>(colors == 2 ? i * 255 : i);
        uint8_t* entry = dib + 40 + i * 4;
        entry[0] = entry[1] = entry[2] = level;
    }
    uint8_t* pixels = dib + 40 + colors * 4;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels + stride * size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const uint32_t color = fake_twain::ColorAt(k, x, y);
            if (depth == 24) {
                row[x * 3] = color & 255;
                row[x * 3 + 1] = (color >> 8) & 255;
                row[x * 3 + 2] = (color >> 16) & 255;
            } else if (depth == 8) {
                row[x] = color & 255;
            } else if ((color & 255) != 0) {
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
            }
        }
    }
    return dib;
}

TW_UINT16 Control(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT16 dat, TW_UINT16 msg,
                  TW_MEMREF data) {
    const bool toSource = destination != nullptr && destination->Id == source.Id && source.Id != 0;
    switch (dat) {
    case DAT_PARENT:
        if (msg == MSG_OPENDSM && dsmState == 2 && !Fails("opendsm")) {
            app = *origin;
            app.Id = origin->Id = 7;
            dsmState = 3;
            delivered = 0;
            return TWRC_SUCCESS;
        }
        if (msg == MSG_CLOSEDSM && dsmState == 3 && !Fails("closedsm")) {
            dsmState = 2;
            return TWRC_SUCCESS;
        }
        return TWRC_FAILURE;
    case DAT_ENTRYPOINT: {
        if (msg != MSG_GET || dsmState < 3 || (origin->SupportedGroups & DF_APP2) == 0) {
            return TWRC_FAILURE;
        }
        auto* entry = static_cast<TW_ENTRYPOINT*>(data);
        entry->DSM_MemAllocate = Allocate;
        entry->DSM_MemFree = Free;
        entry->DSM_MemLock = Lock;
        entry->DSM_MemUnlock = Unlock;
        return TWRC_SUCCESS;
    }
    case DAT_IDENTITY: {
        auto* identity = static_cast<TW_IDENTITY*>(data);
        if (dsmState < 3 || identity == nullptr) {
            return TWRC_FAILURE;
        }
        auto fillSource = [](TW_IDENTITY* target) {
            *target = {};
            target->Id = 11;
            target->ProtocolMajor = 2;
            target->SupportedGroups = DG_CONTROL | DG_IMAGE;
            std::strcpy(target->ProductName, "Fake Scanner");
        };
        switch (msg) {
        case MSG_GETDEFAULT:
            if (Fails("getdefault")) {
                return TWRC_FAILURE;
            }
            fillSource(identity);
            return TWRC_SUCCESS;
        case MSG_USERSELECT:
            if (Fails("userselect")) {
                return TWRC_FAILURE;
            }
            if (config.cancelSelection) {
                return TWRC_CANCEL;
            }
            fillSource(identity);
            return TWRC_SUCCESS;
        case MSG_OPENDS:
            // The program clears the identity to ask for the default source.
            if (dsmState != 3 || identity->Id != 0 || identity->ProductName[0] != '\0' ||
                Fails("opends")) {
                return TWRC_FAILURE;
            }
            fillSource(identity);
            source = *identity;
            dsmState = 4;
            return TWRC_SUCCESS;
        case MSG_CLOSEDS:
            if (dsmState != 4 || identity->Id != source.Id || Fails("closeds")) {
                return TWRC_FAILURE;
            }
            JoinEvents();
            source = {};
            callback = nullptr;
            dsmState = 3;
            return TWRC_SUCCESS;
        default:
            return TWRC_FAILURE;
        }
    }
    case DAT_CALLBACK: {
        if (msg != MSG_REGISTER_CALLBACK || dsmState != 4 || !toSource || Fails("callback")) {
            return TWRC_FAILURE;
        }
        callback = reinterpret_cast<DSMENTRYPROC>(static_cast<TW_CALLBACK*>(data)->CallBackProc);
        return callback != nullptr ? TWRC_SUCCESS : TWRC_FAILURE;
    }
    case DAT_USERINTERFACE:
        if (!toSource) {
            return TWRC_FAILURE;
        }
        if (msg == MSG_ENABLEDS && dsmState == 4 && callback != nullptr && !Fails("enableds")) {
            dsmState = 5;
            pending = config.images;
            if (config.useThread) {
                eventThread = std::thread([] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    SendEvents();
                });
            } else {
                SendEvents();
            }
            return TWRC_SUCCESS;
        }
        if (msg == MSG_DISABLEDS && dsmState == 5 && !Fails("disableds")) {
            JoinEvents();
            dsmState = 4;
            return TWRC_SUCCESS;
        }
        return TWRC_FAILURE;
    case DAT_PENDINGXFERS: {
        auto* transfers = static_cast<TW_PENDINGXFERS*>(data);
        if (!toSource) {
            return TWRC_FAILURE;
        }
        if (msg == MSG_ENDXFER && dsmState == 7 && !Fails("endxfer")) {
            --pending;
            transfers->Count = static_cast<TW_UINT16>(pending);
            dsmState = pending > 0 ? 6 : 5;
            return TWRC_SUCCESS;
        }
        if (msg == MSG_RESET && dsmState == 6) {
            pending = 0;
            transfers->Count = 0;
            dsmState = 5;
            return TWRC_SUCCESS;
        }
        return TWRC_FAILURE;
    }
    case DAT_EVENT:
        return TWRC_NOTDSEVENT;
    default:
        return TWRC_FAILURE;
    }
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* origin,
                                                           TW_IDENTITY* destination, TW_UINT32 dg,
                                                           TW_UINT16 dat, TW_UINT16 msg,
                                                           TW_MEMREF data) {
    if (origin == nullptr) {
        return TWRC_FAILURE;
    }
    if (dg == DG_CONTROL) {
        return Control(origin, destination, dat, msg, data);
    }
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
        if (dsmState != 6 || destination == nullptr || destination->Id != source.Id ||
            Fails("xfer")) {
            return TWRC_FAILURE;
        }
        dsmState = 7;
        const int k = delivered++;
        if (k == config.cancelImage) {
            return TWRC_CANCEL;
        }
        *static_cast<TW_HANDLE*>(data) = MakePicture(k);
        return TWRC_XFERDONE;
    }
    return TWRC_FAILURE;
}

__attribute__((visibility("default"))) void FakeDsmConfigure(const char* text) {
    const std::string s = text != nullptr ? text : "";
    config = {};
    config.cancelSelection = ValueOf(s, "select") == "cancel";
    config.images = IntOf(s, "images", 0);
    config.closeRequest = IntOf(s, "close", 0) != 0;
    config.useThread = IntOf(s, "thread", 0) != 0;
    config.badImage = IntOf(s, "bad", -1);
    config.cancelImage = IntOf(s, "cancel", -1);
    config.fail = ValueOf(s, "fail");
}

__attribute__((visibility("default"))) int FakeDsmState() {
    return dsmState;
}

__attribute__((visibility("default"))) int FakeDsmLiveHandles() {
    return liveHandles;
}

__attribute__((visibility("default"))) const TW_IDENTITY* FakeDsmAppIdentity() {
    return &app;
}

} // extern "C"
