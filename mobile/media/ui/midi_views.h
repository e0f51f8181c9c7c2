#pragma once
// Page 2 of the main frame, the ringtones page: CMidiLeftView, the player
// panel of the PC sound chosen in the control bar's path field, and
// CMidiRightView, the phone's sounds of the current category (three tabs:
// user ringtone slots, WAP sounds, MMS sounds; the MP3 form shows the five
// MP3 slots instead). SoundPage joins them as the frame's PageViews for
// commands 32773 (ringtones) and 32792 (the MP3 form).
//
// Thread affinity: the GUI thread.

#include "mobile/media/core/media_listing.h"
#include "mobile/media/core/ringtone_list.h"
#include "mobile/media/core/sound_player.h"
#include "mobile/shell/ui/link_window.h"
#include "mobile/shell/ui/page.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabBar;
class QTreeWidget;

namespace mediaui {

class CMidiLeftView final : public QWidget {
    Q_OBJECT
public:
    explicit CMidiLeftView(QWidget* parent = nullptr);
    ~CMidiLeftView() override;

    // Selects the file of the path field; false (with the message shown)
    // when it was refused.
    bool selectFile(const QString& path);
    // 1032, 1033, 1038.
    void play();
    void pauseResume();
    void stop();
    // The link was lost: stop and forget the file.
    void forget();

    [[nodiscard]] media::SoundPlayer& player() { return player_; }
    [[nodiscard]] QString timeText() const;

protected:
    bool event(QEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void refresh();
    void tick();

    shellui::LinkWindow notify_;
    media::SoundPlayer player_;
    QTimer timer_;
    QLabel* name_ = nullptr;
    QLabel* size_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* type_ = nullptr;
    QProgressBar* position_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* stop_ = nullptr;
};

class CMidiRightView final : public QWidget {
    Q_OBJECT
public:
    explicit CMidiRightView(bool mp3Form, QWidget* parent = nullptr);

    [[nodiscard]] media::SoundCategory category() const { return category_; }
    // Shows a category's tab (the MP3 form stays in category 4).
    void setCategory(media::SoundCategory category);
    // The rows of the list; before a list is loaded it holds empty rows.
    void setRows(std::vector<media::MediaRow> rows);
    [[nodiscard]] const std::vector<media::MediaRow>& rows() const { return rows_; }
    // The selected row, or nullptr.
    [[nodiscard]] const media::MediaRow* selectedRow() const;
    void selectRow(int index);

signals:
    void categoryChosen(int category);
    void deletePressed();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    media::SoundCategory category_;
    QTabBar* tabs_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<media::MediaRow> rows_;
};

// The page's views and its commands.
class SoundPage final : public shellui::PageViews {
public:
    SoundPage(shellui::PageHost& host, QWidget* parent, bool mp3Form);
    ~SoundPage() override;

    QWidget* left() override { return left_; }
    QWidget* right() override { return right_; }
    [[nodiscard]] uint32_t controlMode() const override;
    void command(int id, const QString& text) override;
    void shown() override;
    void connectionChanged() override;

    [[nodiscard]] CMidiLeftView* leftView() const { return left_; }
    [[nodiscard]] CMidiRightView* rightView() const { return right_; }

private:
    [[nodiscard]] bool connectedForList() const;
    void loadList();
    void chooseCategory(int category);
    void put();
    void empty();
    void putMp3();
    void emptyMp3();
    void save();
    [[nodiscard]] bool askName(int maxLength, QString& name);

    shellui::PageHost& host_;
    bool mp3Form_;
    CMidiLeftView* left_;
    CMidiRightView* right_;
};

// The registrations of the ringtones page and its MP3 form.
[[nodiscard]] std::vector<shellui::PageRegistration> SoundPages();

}  // namespace mediaui
