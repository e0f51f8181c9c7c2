#pragma once
// The resource bundle "Resource.rcc": every text, dialog template, menu,
// toolbar and bitmap of the program, looked up by number.
//
// Loaded by name at start-up (next to the program, or in ../share/telvane,
// or the file named by $TELVANE_RESOURCE_BUNDLE) and unloaded at exit.
// Strings come in English and Simplified Chinese; the locale chooses.
// GUI thread only.

#include <QHash>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

namespace shellui {

enum class BundleError { None, Missing, Damaged, Incomplete };

struct MenuEntry {
    enum Kind { Popup, Item, Separator } kind;
    int command = 0;
    int stringId = 0;
    QString shortcut;
};

struct ToolbarButton {
    int command;
    int image;
    int tooltipId;
};

class ResourceBundle {
public:
    ~ResourceBundle();
    // Loads the bundle; on failure error() tells why and describe() says it
    // in words for the user (there are no strings to use then).
    [[nodiscard]] static std::unique_ptr<ResourceBundle> Load(const QString& path, const QString& language,
                                                              BundleError* error);
    // Where the bundle is looked for, first match wins.
    [[nodiscard]] static QStringList SearchPaths();
    // The failure in words, in the locale's language: without a bundle there
    // is no string table, so these few texts live in the program.
    [[nodiscard]] static QString Describe(BundleError error, const QString& path, const QString& language = "en");
    // "zh" for a Chinese locale, else "en".
    [[nodiscard]] static QString LanguageForLocale();

    // The string with this number; "#n" when the bundle lacks it.
    [[nodiscard]] QString text(int id) const;
    [[nodiscard]] bool hasText(int id) const { return strings_.contains(id); }
    // The dialog template with this number, its "@n" texts resolved; null
    // when the bundle lacks it.
    [[nodiscard]] QWidget* loadDialogForm(int id, QWidget* parent) const;
    [[nodiscard]] QPixmap bitmap(const QString& name) const;
    [[nodiscard]] const std::vector<MenuEntry>& menu() const { return menu_; }
    [[nodiscard]] const std::vector<ToolbarButton>& toolbar() const { return toolbar_; }
    [[nodiscard]] QString styleSheet() const;
    [[nodiscard]] QString language() const { return language_; }

    // Replaces "@n" by string n in a widget tree's texts and titles.
    void resolveTexts(QWidget* root) const;

private:
    ResourceBundle() = default;
    [[nodiscard]] BundleError parse();

    QString path_;
    QString language_;
    QHash<int, QString> strings_;
    std::vector<MenuEntry> menu_;
    std::vector<ToolbarButton> toolbar_;
    bool registered_ = false;
};

// The bundle the program runs with (set once at start-up).
void SetResources(ResourceBundle* bundle);

// The toolkit's own texts (file dialog, edit field menus) in the bundle's
// language: loads and installs Qt's translation for "zh". Null for "en" or
// when the system has no such translation (the toolkit then stays English).
[[nodiscard]] std::unique_ptr<QTranslator> InstallToolkitTranslation(const QString& language);
[[nodiscard]] const ResourceBundle& Res();
[[nodiscard]] QString Str(int id);

}  // namespace shellui
