#pragma once
// The operator program's main window: files, port, product, download type,
// options and wait states chosen into the download context, the start of a
// download on the engine's worker thread, its steps, progress bars, sector
// table and result window; the service, information, multi-pack and debug
// windows; and the multi-download module.
//
// Thread affinity: GUI thread. The engine runs on the window's EngineWorker
// and reaches the window only through queued calls.

#include "engine_worker.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

struct T_DllModule;

namespace brindelui {

class DebugWindow;
class ServiceWindow;

class OperatorWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit OperatorWindow(QWidget* parent = nullptr);
    ~OperatorWindow() override;

    // The start-up: the flash descriptions (a failure is shown as family 2),
    // the saved configuration, then the program's argument (".cla": the
    // software file, anything else: the package file and download type 1).
    void startUp(const QStringList& arguments);

    // The file buttons, once a file is chosen.
    void loadSoftware(const QString& path);
    void loadCompared(const QString& path);
    void loadPackage(const QString& path);
    // The start button.
    void start();
    // Runs a job on the engine's thread with the choice controls dimmed.
    void runJob(std::function<void()> job);
    [[nodiscard]] bool busy() const { return busy_; }

    // What the operator sees.
    [[nodiscard]] QStringList logLines() const;
    [[nodiscard]] QStringList sectorRows() const;
    [[nodiscard]] QStringList dllLines() const;
    [[nodiscard]] int lastResultFamily() const { return lastFamily_; }
    [[nodiscard]] QString lastResultText() const { return lastResult_; }
    [[nodiscard]] int softwarePercent() const;

    ServiceWindow* openService();
    DebugWindow* openDebug();
    void openSoftwareInformation();
    void openPackageInformation();
    void openMultiPack();
    // Multi-download: loads the module for the chosen port, then starts it.
    bool loadDll();
    bool startDll();
    [[nodiscard]] bool dllOffered() const;

    // From the engine (queued to the GUI thread).
    void showMessage(const QString& title, const QString& text);
    void showSectorTableRow(int sector, const QString& row);
    void showSectorRow(const QString& row);
    void showProgress(int softPercent, int packPercent);
    void showResult(int family, const QString& familyName, const QString& message);
    QString chooseFile(const QString& title, const QString& filter);
    void showDllLine(int port, int family, const QString& text);
    void showDllProgress(int port, int softPercent, int packPercent);

    // Puts the context's choices into the controls, and back.
    void applyContext();
    void storeContext();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    QWidget* BuildChoices();
    QWidget* BuildDisplay();
    void ChoiceChanged();
    void JobFinished();
    void UpdateFileLabels();
    void UpdateWaitStateMenu();
    void SetDimmed(bool dimmed);
    int DllRow(int port);

    std::unique_ptr<EngineWorker> worker_;
    bool busy_ = false;
    bool applying_ = false;
    int lastFamily_ = -1;
    QString lastResult_;

    QComboBox* port_ = nullptr;
    QComboBox* project_ = nullptr;
    QComboBox* type_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* uart_ = nullptr;
    QPushButton* simlock_ = nullptr;
    QPushButton* pmu_ = nullptr;
    QPushButton* checkKeys_ = nullptr;
    QCheckBox* compared_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* size_ = nullptr;
    QPushButton* softwareButton_ = nullptr;
    QPushButton* comparedButton_ = nullptr;
    QPushButton* packageButton_ = nullptr;
    QLabel* softwareLabel_ = nullptr;
    QLabel* comparedLabel_ = nullptr;
    QLabel* packageLabel_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QList<QWidget*> choices_;
    QGroupBox* dllBox_ = nullptr;
    QPushButton* loadDllButton_ = nullptr;
    QPushButton* dllButton_ = nullptr;
    QListWidget* dllList_ = nullptr;
    QListWidget* log_ = nullptr;
    QListWidget* sectors_ = nullptr;
    QProgressBar* softBar_ = nullptr;
    QProgressBar* packBar_ = nullptr;
    QLabel* status_ = nullptr;
    QAction* serviceAction_ = nullptr;
    QList<QMenu*> dimmedMenus_;
    std::vector<QActionGroup*> waitStateGroups_;

    QPointer<ServiceWindow> service_;
    QPointer<DebugWindow> debug_;
    QString dllDir_;
    std::vector<T_DllModule*> dllModules_;
    T_DllModule* dllPending_ = nullptr;
    int dllPendingPort_ = 0;
};

}  // namespace brindelui
