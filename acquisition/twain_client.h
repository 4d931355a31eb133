// TwainClient: the program's side of the scanner protocol. Loads the source
// manager library at run time, walks the protocol states 1..7, lets the user
// select a source, enables it with its own user interface and runs the
// native transfers that the source announces. Sources announce events
// through a callback registered with the manager; the callback may run on
// any thread, so it only queues the message, and the queue is handed to the
// client on the user-interface thread (DispatchEvents).
#pragma once

#include "acquisition/twain_protocol.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace pixmill {

class TwainClient {
  public:
    // Protocol states.
    enum State : int {
        ManagerUnloaded = 1,
        ManagerLoaded = 2,
        ManagerOpen = 3,
        SourceOpen = 4,
        SourceEnabled = 5,
        TransferReady = 6,
        Transferring = 7,
    };
    // OnError codes.
    enum ErrorCode : int { NotAvailable = 0, OpenSourceFailed = 1, EnableSourceFailed = 2 };

    TwainClient();
    // Closes everything down to state 1 and releases the library.
    virtual ~TwainClient();
    TwainClient(const TwainClient&) = delete;
    TwainClient& operator=(const TwainClient&) = delete;

    void SetIdentity(int major, int minor, int language, int country, const char* info,
                     const char* manufacturer, const char* family, const char* product);
    // The libraries tried when the manager is loaded, in order. By default
    // the one PIXMILL_TWAIN_DSM names, else the system's source manager.
    void SetManagerLibraries(std::vector<std::string> names) { libraries = std::move(names); }
    // True when the entry point is loaded; otherwise probes once.
    bool IsAvailable();
    void SetParent(void* window) { parent = window; }
    twain::TW_UINT16 SelectSource(void* window = nullptr);
    bool Acquire(void* window = nullptr);
    // A protocol message the source sent (through the callback); true when
    // the client took it.
    bool ProcessMessage(twain::TW_UINT16 message);

    // The two menu commands: open the manager, then select or acquire;
    // without a manager OnError(NotAvailable).
    void SelectSourceCommand();
    void AcquireCommand();
    // Opens the manager (loading it first) with the parent window.
    bool OpenManager(void* window = nullptr);
    // Undoes one level at a time until the state is target; false when a
    // step failed (the state stays where it failed).
    bool StepDown(int target, void* window = nullptr);

    // Handles the messages the callback queued, in order. Call it on the
    // user-interface thread.
    void DispatchEvents();
    // Called (on the callback's thread) after a message was queued; the
    // program posts DispatchEvents to its user-interface thread from it.
    void SetEventNotifier(std::function<void()> notifier);

    int State() const { return state; }
    twain::TW_UINT16 LastReturnCode() const { return returnCode; }
    int Availability() const { return availability; }
    bool ShowUserInterface() const { return showUI; }
    void SetShowUserInterface(bool show) { showUI = show; }
    const twain::TW_IDENTITY& AppIdentity() const { return appIdentity; }
    const twain::TW_IDENTITY& SourceIdentity() const { return sourceIdentity; }

    // The user-visible text of an OnError code.
    static const char* ErrorText(int code);

  protected:
    // Runs the transfer loop.
    virtual void OnTransferReady();
    // Disables and closes the source.
    virtual void OnCloseRequest();
    // A natively transferred bitmap; the client frees the handle afterwards.
    virtual void OnImage(twain::TW_HANDLE handle) = 0;
    virtual void OnStateChange(int /*newState*/) {}
    virtual void OnError(int code) = 0;

    // The bitmap behind a transferred handle, through the manager's memory
    // functions when it offers them.
    void* LockHandle(twain::TW_HANDLE handle);
    void UnlockHandle(twain::TW_HANDLE handle);
    void FreeHandle(twain::TW_HANDLE handle);

    twain::TW_UINT16 Call(twain::TW_IDENTITY* source, twain::TW_UINT32 dg, twain::TW_UINT16 dat,
                          twain::TW_UINT16 msg, twain::TW_MEMREF data);

  private:
    bool LoadManager();
    void UnloadManager();
    void SetState(int newState);
    void* WindowOr(void* window) const { return window != nullptr ? window : parent; }
    static twain::TW_UINT16 Callback(twain::TW_IDENTITY* origin, twain::TW_IDENTITY* destination,
                                     twain::TW_UINT32 dg, twain::TW_UINT16 dat,
                                     twain::TW_UINT16 msg, twain::TW_MEMREF data);

    twain::TW_IDENTITY appIdentity{};
    twain::TW_IDENTITY sourceIdentity{};
    int state = ManagerUnloaded;
    twain::TW_UINT16 returnCode = twain::TWRC_SUCCESS;
    bool showUI = true;
    twain::TW_USERINTERFACE userInterface{};
    void* parent = nullptr;
    void* library = nullptr;
    twain::DSMENTRYPROC entry = nullptr;
    twain::TW_ENTRYPOINT memory{};
    int availability = 0; // 0 not probed, 1 available, -1 not available
    std::vector<std::string> libraries;
    uint32_t callbackKey; // finds this client from the callback

    std::mutex queueLock;
    std::deque<twain::TW_UINT16> queue;
    std::function<void()> notifier;
    bool dispatching = false;
};

} // namespace pixmill
