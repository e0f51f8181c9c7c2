#pragma once
// Connecting to the phone: the connection dialog loop, the connect command
// (cable check, port scan, phone-mode media index batch or MP3-mode
// handshake), user disconnects, link loss and the page-switch rules that
// depend on the connection mode.
//
// Plain C++; everything the user sees goes through ConnectionUi. Thread
// affinity: the GUI thread. Modal steps (the dialog, a batch) are nested
// loops inside ConnectionUi calls.

#include "mobile/shell/core/batch_runner.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace shell {

// Page commands of the main frame's toolbar.
constexpr int kCmdPictures = 32772;
constexpr int kCmdRingtones = 32773;
constexpr int kCmdPhonebook = 32774;
constexpr int kCmdMessages = 32775;
constexpr int kCmdVideo = 32776;
constexpr int kCmdMp3Ringtones = 32792;

constexpr int kModeMp3 = 0;
constexpr int kModePhone = 1;

enum class Icon { Information, Question, Error };

struct ConnectionState {
    int currentPage = 0;  // 1 pictures ... 5 video
    int currentCommand = 0;  // toolbar command of the page shown (the MP3 form is its own)
    bool picturesLocked = false;
    bool messagesLocked = false;
    bool phoneAnswered = false;
    uint8_t openablePorts = 0;
    bool mp3Mode = false;
    bool disconnectRequested = false;
    bool phoneMode = false;

    [[nodiscard]] bool connected() const { return phoneMode || mp3Mode; }
};

class ConnectionUi : public BatchRunner {
public:
    virtual ~ConnectionUi() = default;
    // The connection dialog; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<int> chooseMode(int initialChoice) = 0;
    virtual void message(int stringId, Icon icon) = 0;
    // The cable's port device exists but may not be opened by this user.
    virtual void portPermissionDenied(const std::string& device) = 0;
    // OK/Cancel question by string; true for OK.
    [[nodiscard]] virtual bool ask(int stringId) = 0;
    // OK/Cancel question by dialog template (257, 258); true for OK.
    [[nodiscard]] virtual bool askDialog(int dialogId) = 0;
    virtual void setStatusText(int stringId) = 0;
    // Asks the main window to close (the program ends).
    virtual void closeMainWindow() = 0;
    // Shows a page (creates its views, sets the control bar, checks its button).
    virtual void showPage(int command) = 0;
    // Connected in phone mode: the picture and ringtone lists reload.
    virtual void phoneModeConnected() = 0;
    // Connected in MP3 mode: the ringtones page in its MP3 form, MP3 buttons.
    virtual void mp3ModeConnected() = 0;
    // The link is gone: every view shows its not-connected state.
    virtual void phoneGone() = 0;
};

struct ConnectionEnv {
    plat::ThreadId guiThread = 0;
    plat::WindowHandle mainWindow = 0;
    std::function<plat::ThreadId()> workerThread;
    std::function<std::string()> detectCable;
    // The phone's file-name form of a plain name (posix form).
    std::function<std::string(std::string_view)> phoneFileName;
    // errno of opening the port device (0 when it could be opened or does not exist).
    std::function<int(int port)> portAccessError;
    std::string programDirectory;  // with trailing '/'
    // The user's part around MP3 mode, played by demo mode: the phone
    // switched off and into its boot ROM once the user confirmed the
    // MP3-mode message, and switched on again after MP3 mode was ended.
    std::function<void()> beforeMp3Attempt;
    std::function<void()> afterMp3Mode;
};

// The port-scan batch of a new connection (request 222): the worker scans
// COM1..COM8, connects and initialises the phone; onScanResult gets whether
// a phone answered and the ports that opened. A scan whose phone answered
// but refused its setup fails the batch.
[[nodiscard]] BatchPlan ScanPlan(plat::ThreadId guiThread, int cablePort,
                                 std::function<void(bool answered, uint8_t openablePorts)> onScanResult);
// MP3 mode's handshake on serial port n (requests 223-226): open the flash
// bridge, boot the switched-off phone into its loader, go to high speed and
// read the MP3 index into the program directory.
[[nodiscard]] BatchPlan Mp3HandshakePlan(plat::ThreadId guiThread, int port);

class ConnectionController {
public:
    ConnectionController(ConnectionState& state, ConnectionUi& ui, ConnectionEnv env);

    // True when a connection exists at its end; false when the user
    // cancelled (the main window has then been asked to close).
    bool connectionDialogLoop(int initialChoice);
    // Command 1042 with the mode choice.
    void connectCommand(int mode);
    // Request 89 (phone mode) and the disconnect-requested flag.
    void disconnectPhone();
    // Request 232 (MP3 mode) and the disconnect-requested flag.
    void endMp3Mode();
    // WM_LINK_LOST.
    void linkLost();
    // Toolbar page command; applies the connection rules before showing it.
    void switchPage(int command);
    // Shows a page without the rules (start-up, connection flows).
    void showPageDirect(int command) { showPage(command); }

    // The media index batch of a phone-mode connection (exposed for tests).
    [[nodiscard]] BatchPlan mediaIndexPlan() const;

private:
    // True when a port scan ran.
    bool connectAttempt(int mode);
    void runMediaIndexBatch();
    void runMp3Handshake(int port);
    void post(int32_t code);
    void showPage(int command);

    ConnectionState& st_;
    ConnectionUi& ui_;
    ConnectionEnv env_;
    int loopDepth_ = 0;
};

}  // namespace shell
