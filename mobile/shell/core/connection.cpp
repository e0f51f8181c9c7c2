#include "mobile/shell/core/connection.h"
#include "resources/strings.h"

#include "mobile/shell/core/cable_detect.h"
#include "mobile/shell/core/page_table.h"
#include "platform/clock.h"

#include <cerrno>

namespace shell {

namespace {

constexpr int kDialogLeaveMp3 = 258;
constexpr int kDialogEnterMp3 = 257;

// The seven media index files: phone directory, phone name (encoded or
// plain), local copy in the program directory.
struct IndexFile {
    const char* directory;
    const char* name;
    bool encodedName;
    const char* local;
};
constexpr IndexFile kIndexFiles[] = {
    {"/app/jpeg/", "index", true, "jpeg.idx"},           {"/app/midi/", "index", true, "midi.idx"},
    {"/app/camera/", "cam.idx", false, "cam.idx"},       {"/app/wp/", "imgIndex.txt", false, "WapImg.idx"},
    {"/app/mms/", "imgIndex.txt", false, "MMSImg.idx"},  {"/app/wp/", "audIndex.txt", false, "WapAudi.idx"},
    {"/app/mms/", "audIndex.txt", false, "MMSAudi.idx"},
};

constexpr int32_t kHandshakeCodes[] = {REQ_BRIDGE_OPEN, REQ_BRIDGE_BOOT, REQ_BRIDGE_SPEED, REQ_BRIDGE_READ_INDEX};

}  // namespace

BatchPlan ScanPlan(plat::ThreadId guiThread, int cablePort, std::function<void(bool, uint8_t)> onScanResult)
{
    BatchPlan scan;
    scan.titleId = res::IDS_LOOKING_PHONE;
    scan.steps.push_back(
        BatchStep::Request(REQ_SCAN_AND_CONNECT, NewRequest(guiThread, {}, static_cast<uint32_t>(cablePort))));
    scan.effects.onScanResult = std::move(onScanResult);
    return scan;
}

BatchPlan Mp3HandshakePlan(plat::ThreadId guiThread, int port)
{
    BatchPlan plan;
    plan.titleId = res::IDS_STARTING_MP3_MODE;
    plan.stepCount = 4;
    plan.showCancelOnHandshake = true;
    for (int32_t code : kHandshakeCodes) {
        const uint32_t argument = code == kHandshakeCodes[0] ? uint32_t(port) : 0;
        plan.steps.push_back(BatchStep::Request(code, NewRequest(guiThread, {}, argument)));
    }
    return plan;
}

ConnectionController::ConnectionController(ConnectionState& state, ConnectionUi& ui, ConnectionEnv env)
    : st_(state), ui_(ui), env_(std::move(env))
{
}

void ConnectionController::post(int32_t code)
{
    const plat::ThreadId worker = env_.workerThread ? env_.workerThread() : 0;
    (void)PostRequest(worker, code, NewRequest(env_.guiThread), env_.mainWindow);
}

void ConnectionController::disconnectPhone()
{
    post(REQ_DISCONNECT);
    st_.disconnectRequested = true;
}

void ConnectionController::endMp3Mode()
{
    post(REQ_SILENT_TIMEOUT);
    st_.disconnectRequested = true;
    if (env_.afterMp3Mode)
        env_.afterMp3Mode();
}

bool ConnectionController::connectionDialogLoop(int initialChoice)
{
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(x) { ++d; }
        ~Depth() { --d; }
    } depth(loopDepth_);

    std::optional<int> choice = ui_.chooseMode(initialChoice);
    while (choice) {
        const int mode = *choice;
        if (mode == kModeMp3) {
            ui_.message(res::IDS_MP3_MODE_SWITCH_PHONE, Icon::Information);
            if (env_.beforeMp3Attempt)
                env_.beforeMp3Attempt();
        }
        const bool scanned = connectAttempt(mode);
        if (st_.connected())
            return true;
        // The answered flag only means something right after a scan.
        if (scanned && st_.phoneAnswered && mode == kModeMp3)
            ui_.message(res::IDS_PHONE_ANSWERED_PHONE_MODE, Icon::Error);
        if (scanned && !st_.phoneAnswered && mode == kModePhone)
            ui_.message(res::IDS_NO_PHONE_ANSWERED_CHECK, Icon::Error);
        plat::Sleep(10);
        if (st_.connected())
            return true;
        choice = ui_.chooseMode(mode);
    }
    ui_.closeMainWindow();
    return false;
}

void ConnectionController::connectCommand(int mode)
{
    (void)connectAttempt(mode);
}

bool ConnectionController::connectAttempt(int mode)
{
    const std::string detection = env_.detectCable ? env_.detectCable() : std::string();
    if (detection == kTooManyCables) {
        ui_.message(res::IDS_MORE_THAN_ONE_DATA, Icon::Error);
        return false;
    }
    const std::optional<int> port = PortNumber(detection);
    if (!port) {
        // No cable, or none whose port could be found.
        ui_.message(res::IDS_NO_DATA_CABLE_WAS, Icon::Error);
        return false;
    }
    if (st_.phoneMode) {
        if (!ui_.ask(res::IDS_END_CURRENT_CONNECTION))
            return false;
        disconnectPhone();
        (void)connectionDialogLoop(kModeMp3);
        st_.disconnectRequested = false;
        return false;
    }
    if (st_.mp3Mode) {
        if (!ui_.ask(res::IDS_END_CURRENT_CONNECTION))
            return false;
        endMp3Mode();
        st_.mp3Mode = false;
        showPage(kCmdPictures);
        (void)connectionDialogLoop(kModeMp3);
        st_.disconnectRequested = false;
        return false;
    }
    // A new connection: a later loss of it must bring the dialog back.
    st_.disconnectRequested = false;
    if (env_.portAccessError) {
        if (const int err = env_.portAccessError(*port); err == EACCES || err == EPERM) {
            ui_.portPermissionDenied(PortDevicePath(*port));
            return false;
        }
    }

    (void)ui_.runBatch(ScanPlan(env_.guiThread, *port, [this](bool answered, uint8_t ports) {
        st_.phoneAnswered = answered;
        st_.openablePorts = ports;
    }));

    if (st_.phoneAnswered) {
        if (mode != kModeMp3)
            runMediaIndexBatch();
    } else if (mode != kModePhone) {
        runMp3Handshake(*port);
    }
    return true;
}

BatchPlan ConnectionController::mediaIndexPlan() const
{
    BatchPlan plan;
    plan.titleId = res::IDS_READING_PHONES_MEDIA_LISTS;
    plan.stepCount = 10;
    plan.steps.push_back(BatchStep::Request(REQ_RECONNECT, NewRequest(env_.guiThread)));
    plan.steps.push_back(BatchStep::Request(REQ_COMMAND, NewRequest(env_.guiThread, "AT*MASKCALL=1\r")));
    for (const auto& f : kIndexFiles) {
        std::string phone = f.directory;
        phone += f.encodedName && env_.phoneFileName ? env_.phoneFileName(f.name) : std::string(f.name);
        const uint32_t block = NewTransferBlock(phone, env_.programDirectory + f.local);
        plan.steps.push_back(BatchStep::Request(REQ_DOWNLOAD, NewRequest(env_.guiThread, {}, block)));
    }
    plan.steps.push_back(BatchStep::Request(REQ_PRIVACY_LOCK, NewRequest(env_.guiThread)));
    plan.effects.onPrivacyLock = [this](bool pictures, bool messages) {
        st_.picturesLocked = pictures;
        st_.messagesLocked = messages;
    };
    return plan;
}

void ConnectionController::runMediaIndexBatch()
{
    if (ui_.runBatch(mediaIndexPlan()) == kBatchOk) {
        ui_.setStatusText(res::IDS_CONNECTED_PHONE_MODE);
        st_.phoneMode = true;
        ui_.phoneModeConnected();
        return;
    }
    ui_.message(res::IDS_MEDIA_LISTS_FAILED, Icon::Error);
    ui_.setStatusText(res::IDS_NOT_CONNECTED);
    disconnectPhone();
    st_.phoneMode = false;
}

void ConnectionController::runMp3Handshake(int port)
{
    if (ui_.runBatch(Mp3HandshakePlan(env_.guiThread, port)) == kBatchOk) {
        ui_.setStatusText(res::IDS_CONNECTED_MP3_MODE);
        st_.mp3Mode = true;
        ui_.mp3ModeConnected();
        return;
    }
    ui_.message(res::IDS_MP3_MODE_FAILED, Icon::Error);
}

void ConnectionController::linkLost()
{
    ui_.setStatusText(res::IDS_NOT_CONNECTED);
    st_.phoneMode = false;
    st_.mp3Mode = false;
    ui_.phoneGone();
    // A running dialog loop shows its dialog again by itself; a second,
    // nested one would stack two connection dialogs.
    if (!st_.disconnectRequested && loopDepth_ == 0)
        (void)connectionDialogLoop(kModeMp3);
}

void ConnectionController::showPage(int command)
{
    const PageRow* row = FindPageRow(command);
    if (!row)
        return;
    ui_.showPage(command);
    st_.currentCommand = command;
    st_.currentPage = row->page;
}

void ConnectionController::switchPage(int command)
{
    const PageRow* row = FindPageRow(command);
    if (!row || command == st_.currentCommand)
        return;
    // A page that works in the other connected mode ends the connection
    // first, when the user agrees.
    if (st_.mp3Mode && row->works != PageConnection::Mp3Mode) {
        if (!ui_.askDialog(kDialogLeaveMp3))
            return;
        endMp3Mode();
        showPage(kCmdPictures);
        (void)connectionDialogLoop(kModeMp3);
        return;
    }
    if (st_.phoneMode && row->works != PageConnection::PhoneMode) {
        if (!ui_.askDialog(kDialogEnterMp3))
            return;
        disconnectPhone();
        showPage(command);
        (void)connectionDialogLoop(kModePhone);
        if (st_.phoneMode)
            showPage(kCmdPictures);
        return;
    }
    showPage(command);
}

}  // namespace shell
