#include "acquisition/twain_client.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>

namespace pixmill {

using namespace twain;

namespace {

// The clients the callback may reach, by a key of their own. Sources call
// back from any thread, possibly while a client is being destroyed.
std::mutex registryLock;
std::map<uint32_t, TwainClient*> registry;
uint32_t nextKey = 1;

void CopyText(char (&target)[34], const char* text) {
    std::memset(target, 0, sizeof target);
    if (text != nullptr) {
        std::strncpy(target, text, sizeof target - 1);
    }
}

} // namespace

TwainClient::TwainClient() {
    if (const char* name = std::getenv("PIXMILL_TWAIN_DSM"); name != nullptr && *name != '\0') {
        libraries = {name};
    } else {
        libraries = {"libtwaindsm.so.2", "libtwaindsm.so"};
    }
    std::lock_guard guard(registryLock);
    callbackKey = nextKey++;
    registry[callbackKey] = this;
}

TwainClient::~TwainClient() {
    {
        std::lock_guard guard(registryLock);
        registry.erase(callbackKey);
    }
    // A manager that refuses to close stays loaded: unloading it under a
    // running source would be worse than the leak.
    StepDown(ManagerUnloaded);
}

void TwainClient::SetIdentity(int major, int minor, int language, int country, const char* info,
                              const char* manufacturer, const char* family, const char* product) {
    appIdentity = {};
    appIdentity.Version.MajorNum = static_cast<TW_UINT16>(major);
    appIdentity.Version.MinorNum = static_cast<TW_UINT16>(minor);
    appIdentity.Version.Language = static_cast<TW_UINT16>(language);
    appIdentity.Version.Country = static_cast<TW_UINT16>(country);
    CopyText(appIdentity.Version.Info, info);
    appIdentity.ProtocolMajor = 1;
    appIdentity.ProtocolMinor = 6;
    // Events come through the registered callback, which managers offer
    // only to programs that say they speak the 2.x protocol.
    appIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    CopyText(appIdentity.Manufacturer, manufacturer);
    CopyText(appIdentity.ProductFamily, family);
    CopyText(appIdentity.ProductName, product);
}

const char* TwainClient::ErrorText(int code) {
    switch (code) {
    case NotAvailable:
        return "Twain is not available";
    case OpenSourceFailed:
    case EnableSourceFailed:
        return "Twain source activate error";
    default:
        return "Twain Error";
    }
}

void TwainClient::SetState(int newState) {
    if (newState != state) {
        state = newState;
        OnStateChange(state);
    }
}

TW_UINT16 TwainClient::Call(TW_IDENTITY* source, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                            TW_MEMREF data) {
    if (entry == nullptr) {
        return returnCode = TWRC_FAILURE;
    }
    returnCode = entry(&appIdentity, source, dg, dat, msg, data);
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
        if (returnCode == TWRC_XFERDONE || returnCode == TWRC_CANCEL) {
            SetState(Transferring);
        }
        return returnCode;
    }
    if (returnCode != TWRC_SUCCESS || dg != DG_CONTROL) {
        return returnCode;
    }
    switch (dat) {
    case DAT_PARENT:
        if (msg == MSG_OPENDSM) {
            SetState(ManagerOpen);
        } else if (msg == MSG_CLOSEDSM) {
            SetState(ManagerLoaded);
        }
        break;
    case DAT_IDENTITY:
        if (msg == MSG_OPENDS) {
            SetState(SourceOpen);
        } else if (msg == MSG_CLOSEDS) {
            SetState(ManagerOpen);
        }
        break;
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) {
            SetState(SourceEnabled);
        } else if (msg == MSG_DISABLEDS) {
            SetState(SourceOpen);
        }
        break;
    case DAT_PENDINGXFERS:
        if (msg == MSG_ENDXFER) {
            SetState(static_cast<TW_PENDINGXFERS*>(data)->Count != 0 ? TransferReady
                                                                     : SourceEnabled);
        } else if (msg == MSG_RESET) {
            SetState(SourceEnabled);
        }
        break;
    default:
        break;
    }
    return returnCode;
}

bool TwainClient::LoadManager() {
    if (state >= ManagerLoaded) {
        return true;
    }
    for (const std::string& name : libraries) {
        void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            continue;
        }
        if (auto* found = reinterpret_cast<DSMENTRYPROC>(dlsym(handle, "DSM_Entry"))) {
            library = handle;
            entry = found;
            availability = 1;
            SetState(ManagerLoaded);
            return true;
        }
        dlclose(handle);
    }
    availability = -1;
    return false;
}

void TwainClient::UnloadManager() {
    if (library != nullptr) {
        dlclose(library);
    }
    library = nullptr;
    entry = nullptr;
    memory = {};
    SetState(ManagerUnloaded);
}

bool TwainClient::IsAvailable() {
    if (entry != nullptr) {
        return true;
    }
    if (availability == 0) {
        LoadManager();
    }
    return availability == 1;
}

bool TwainClient::OpenManager(void* window) {
    if (state >= ManagerOpen) {
        return true;
    }
    if (!LoadManager()) {
        return false;
    }
    void* handle = WindowOr(window);
    if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &handle) != TWRC_SUCCESS) {
        return false;
    }
    // Transferred bitmaps are locked and freed through the manager's own
    // memory functions when it has them.
    memory = {};
    memory.Size = sizeof memory;
    if (entry(&appIdentity, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &memory) !=
        TWRC_SUCCESS) {
        memory = {};
    }
    return true;
}

bool TwainClient::StepDown(int target, void* window) {
    TW_PENDINGXFERS pending{};
    while (state > target) {
        bool done = false;
        switch (state) {
        case Transferring:
            done = Call(&sourceIdentity, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) ==
                   TWRC_SUCCESS;
            break;
        case TransferReady:
            done = Call(&sourceIdentity, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending) ==
                   TWRC_SUCCESS;
            break;
        case SourceEnabled:
            userInterface.hParent = WindowOr(window);
            done = Call(&sourceIdentity, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,
                        &userInterface) == TWRC_SUCCESS;
            break;
        case SourceOpen:
            done = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &sourceIdentity) ==
                   TWRC_SUCCESS;
            break;
        case ManagerOpen: {
            void* handle = WindowOr(window);
            done = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &handle) == TWRC_SUCCESS;
            break;
        }
        case ManagerLoaded:
            UnloadManager();
            done = true;
            break;
        default:
            done = false;
            break;
        }
        if (!done) {
            return false;
        }
    }
    if (state < SourceEnabled) {
        // Messages of a source that is no longer enabled mean nothing now.
        std::lock_guard guard(queueLock);
        queue.clear();
    }
    return true;
}

TW_UINT16 TwainClient::SelectSource(void* window) {
    const int before = state;
    if (!OpenManager(window)) {
        OnError(NotAvailable);
        StepDown(before, window);
        return returnCode;
    }
    TW_IDENTITY chosen{};
    Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &chosen);
    const TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen);
    StepDown(before, window);
    return result;
}

bool TwainClient::Acquire(void* window) {
    const int before = state;
    if (state < ManagerOpen && !OpenManager(window)) {
        OnError(NotAvailable);
        StepDown(before, window);
        return false;
    }
    if (state < SourceOpen) {
        sourceIdentity = {};
        if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &sourceIdentity) != TWRC_SUCCESS) {
            OnError(OpenSourceFailed);
            StepDown(before, window);
            return false;
        }
        // Without the callback no event of the source would ever arrive.
        TW_CALLBACK callback{};
        callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&TwainClient::Callback);
        callback.RefCon = callbackKey;
        if (Call(&sourceIdentity, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback) !=
            TWRC_SUCCESS) {
            OnError(OpenSourceFailed);
            StepDown(before, window);
            return false;
        }
    }
    if (state < SourceEnabled) {
        userInterface = {};
        userInterface.ShowUI = showUI ? 1 : 0;
        userInterface.hParent = WindowOr(window);
        if (Call(&sourceIdentity, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &userInterface) !=
            TWRC_SUCCESS) {
            OnError(EnableSourceFailed);
            StepDown(before, window);
            return false;
        }
    }
    return true;
}

// Both commands leave the manager as they found it, unless a source is now
// enabled.
void TwainClient::SelectSourceCommand() {
    const int before = state;
    if (OpenManager()) {
        SelectSource();
        StepDown(before);
    } else {
        OnError(NotAvailable);
        StepDown(before);
    }
}

void TwainClient::AcquireCommand() {
    const int before = state;
    if (OpenManager()) {
        if (!Acquire()) {
            StepDown(before);
        }
    } else {
        OnError(NotAvailable);
        StepDown(before);
    }
}

bool TwainClient::ProcessMessage(TW_UINT16 message) {
    if (state < SourceEnabled) {
        return false;
    }
    switch (message) {
    case MSG_XFERREADY:
        SetState(TransferReady);
        OnTransferReady();
        return true;
    case MSG_CLOSEDSREQ:
    case MSG_CLOSEDSOK:
        SetState(SourceEnabled);
        OnCloseRequest();
        return true;
    default:
        return false;
    }
}

void TwainClient::OnTransferReady() {
    TW_PENDINGXFERS pending{};
    do {
        TW_HANDLE handle = nullptr;
        const TW_UINT16 result =
            Call(&sourceIdentity, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        if (result != TWRC_XFERDONE) {
            if (handle != nullptr) {
                FreeHandle(handle);
            }
            handle = nullptr;
        }
        if (state == Transferring) {
            pending = {};
            if (Call(&sourceIdentity, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) !=
                TWRC_SUCCESS) {
                // The source cannot go on; leave the transfer states.
                if (handle != nullptr) {
                    FreeHandle(handle);
                }
                StepDown(SourceEnabled);
                return;
            }
        } else if (result != TWRC_XFERDONE) {
            // A failed transfer leaves the source with its images pending.
            StepDown(SourceEnabled);
            return;
        }
        if (handle != nullptr) {
            OnImage(handle);
            FreeHandle(handle);
        }
    } while (state == TransferReady);
}

void TwainClient::OnCloseRequest() {
    StepDown(ManagerOpen);
}

void* TwainClient::LockHandle(TW_HANDLE handle) {
    return memory.DSM_MemLock != nullptr ? memory.DSM_MemLock(handle) : handle;
}

void TwainClient::UnlockHandle(TW_HANDLE handle) {
    if (memory.DSM_MemUnlock != nullptr) {
        memory.DSM_MemUnlock(handle);
    }
}

void TwainClient::FreeHandle(TW_HANDLE handle) {
    if (memory.DSM_MemFree != nullptr) {
        memory.DSM_MemFree(handle);
    } else {
        std::free(handle);
    }
}

void TwainClient::SetEventNotifier(std::function<void()> callback) {
    std::lock_guard guard(queueLock);
    notifier = std::move(callback);
}

TW_UINT16 TwainClient::Callback(TW_IDENTITY* /*origin*/, TW_IDENTITY* destination, TW_UINT32 /*dg*/,
                                TW_UINT16 /*dat*/, TW_UINT16 msg, TW_MEMREF /*data*/) {
    std::lock_guard guard(registryLock);
    TwainClient* client = nullptr;
    // The destination is the program's identity as the manager numbered it.
    for (const auto& [key, candidate] : registry) {
        if (destination != nullptr && candidate->appIdentity.Id == destination->Id &&
            candidate->entry != nullptr) {
            client = candidate;
        }
    }
    if (client == nullptr && registry.size() == 1) {
        client = registry.begin()->second;
    }
    if (client == nullptr) {
        return TWRC_FAILURE;
    }
    std::function<void()> notify;
    {
        std::lock_guard queueGuard(client->queueLock);
        client->queue.push_back(msg);
        notify = client->notifier;
    }
    if (notify) {
        notify();
    }
    return TWRC_SUCCESS;
}

void TwainClient::DispatchEvents() {
    if (dispatching) {
        return; // the running dispatch takes the rest of the queue
    }
    dispatching = true;
    for (;;) {
        TW_UINT16 message;
        {
            std::lock_guard guard(queueLock);
            if (queue.empty()) {
                break;
            }
            message = queue.front();
            queue.pop_front();
        }
        ProcessMessage(message);
    }
    dispatching = false;
}

} // namespace pixmill
