#include "mobile/shell/ui/resource_bundle.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QResource>
#include <QTextStream>
#include <QTranslator>
#include <QUiLoader>
#include <QWidget>

namespace shellui {

namespace {

ResourceBundle* g_bundle = nullptr;

// Resources every start needs; a bundle without them is damaged or stale.
const char* const kRequired[] = {
    ":/strings/strings.tsv", ":/menus/128.menu",  ":/menus/136.toolbar", ":/dialogs/161.ui",
    ":/dialogs/203.ui",      ":/dialogs/256.ui",  ":/dialogs/257.ui",    ":/dialogs/258.ui",
    ":/bitmaps/202.png",     ":/toolbar/136.png", ":/skin/skin.qss",
};

QString Unescape(const QString& s)
{
    QString out = s;
    out.replace("\\n", "\n");
    out.replace("\\t", "\t");
    return out;
}

QString Resolve(const QString& s)
{
    if (s.size() > 1 && s.startsWith('@')) {
        bool ok = false;
        const int id = s.mid(1).toInt(&ok);
        if (ok)
            return Str(id);
    }
    return s;
}

}  // namespace

void SetResources(ResourceBundle* bundle)
{
    g_bundle = bundle;
}

const ResourceBundle& Res()
{
    Q_ASSERT(g_bundle);
    return *g_bundle;
}

std::unique_ptr<QTranslator> InstallToolkitTranslation(const QString& language)
{
    if (language != "zh")
        return nullptr;
    auto t = std::make_unique<QTranslator>();
    if (!t->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(t.get());
    return t;
}

QString Str(int id)
{
    return g_bundle ? g_bundle->text(id) : QStringLiteral("#%1").arg(id);
}

ResourceBundle::~ResourceBundle()
{
    if (g_bundle == this)
        g_bundle = nullptr;
    if (registered_)
        QResource::unregisterResource(path_);
}

QStringList ResourceBundle::SearchPaths()
{
    const QString env = qEnvironmentVariable("TELVANE_RESOURCE_BUNDLE");
    if (!env.isEmpty())
        return {env};
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + "/Resource.rcc", QDir::cleanPath(dir + "/../share/telvane/Resource.rcc")};
}

QString ResourceBundle::LanguageForLocale()
{
    const QString forced = qEnvironmentVariable("TELVANE_LANGUAGE");
    if (forced == "zh" || forced == "en")
        return forced;
    return QLocale().language() == QLocale::Chinese ? "zh" : "en";
}

QString ResourceBundle::Describe(BundleError error, const QString& path, const QString& language)
{
    const bool zh = language == "zh";
    switch (error) {
    case BundleError::None: return {};
    case BundleError::Missing:
        return (zh ? QStringLiteral("未找到资源包 Resource.rcc（查找位置：%1）。请重新安装或重新编译 Telvane。")
                   : QStringLiteral("The resource bundle Resource.rcc was not found (looked for %1). "
                                    "Reinstall Telvane or rebuild it."))
            .arg(path);
    case BundleError::Damaged:
        return (zh ? QStringLiteral("资源包 %1 已损坏，无法加载。请重新安装或重新编译 Telvane。")
                   : QStringLiteral("The resource bundle %1 is damaged and cannot be loaded. "
                                    "Reinstall Telvane or rebuild it."))
            .arg(path);
    case BundleError::Incomplete:
        return (zh ? QStringLiteral("资源包 %1 属于其他版本的 Telvane（缺少部分资源）。请重新安装或重新编译 Telvane。")
                   : QStringLiteral("The resource bundle %1 belongs to another version of Telvane "
                                    "(resources are missing from it). Reinstall Telvane or rebuild it."))
            .arg(path);
    }
    return {};
}

std::unique_ptr<ResourceBundle> ResourceBundle::Load(const QString& path, const QString& language, BundleError* error)
{
    auto fail = [error](BundleError e) {
        if (error)
            *error = e;
        return std::unique_ptr<ResourceBundle>();
    };
    if (!QFile::exists(path))
        return fail(BundleError::Missing);
    std::unique_ptr<ResourceBundle> b(new ResourceBundle);
    b->path_ = path;
    b->language_ = language;
    if (!QResource::registerResource(path))
        return fail(BundleError::Damaged);
    b->registered_ = true;
    for (const char* r : kRequired) {
        if (!QFile::exists(QString::fromLatin1(r)))
            return fail(BundleError::Incomplete);
    }
    if (const BundleError e = b->parse(); e != BundleError::None)
        return fail(e);
    if (error)
        *error = BundleError::None;
    return b;
}

BundleError ResourceBundle::parse()
{
    QFile tsv(":/strings/strings.tsv");
    if (!tsv.open(QIODevice::ReadOnly))
        return BundleError::Incomplete;
    // Columns: id, name, English, Chinese.
    const int column = language_ == "zh" ? 3 : 2;
    QTextStream in(&tsv);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList cols = line.split('\t');
        bool ok = false;
        const int id = cols.value(0).toInt(&ok);
        if (!ok || cols.size() < 4)
            continue;
        QString t = cols.value(column);
        if (t.isEmpty())
            t = cols.value(2);
        strings_.insert(id, Unescape(t));
    }
    if (strings_.isEmpty())
        return BundleError::Incomplete;

    QFile menu(":/menus/128.menu");
    if (!menu.open(QIODevice::ReadOnly))
        return BundleError::Incomplete;
    for (const QByteArray& raw : menu.readAll().split('\n')) {
        const QStringList w = QString::fromUtf8(raw).simplified().split(' ', Qt::SkipEmptyParts);
        if (w.isEmpty() || w[0].startsWith('#'))
            continue;
        if (w[0] == "popup" && w.size() >= 2)
            menu_.push_back({MenuEntry::Popup, 0, w[1].toInt(), {}});
        else if (w[0] == "item" && w.size() >= 3)
            menu_.push_back({MenuEntry::Item, w[1].toInt(), w[2].toInt(), w.value(3)});
        else if (w[0] == "separator")
            menu_.push_back({MenuEntry::Separator, 0, 0, {}});
    }
    QFile bar(":/menus/136.toolbar");
    if (!bar.open(QIODevice::ReadOnly))
        return BundleError::Incomplete;
    for (const QByteArray& raw : bar.readAll().split('\n')) {
        const QStringList w = QString::fromUtf8(raw).simplified().split(' ', Qt::SkipEmptyParts);
        if (w.size() >= 4 && w[0] == "button")
            toolbar_.push_back({w[1].toInt(), w[2].toInt(), w[3].toInt()});
    }
    return menu_.empty() || toolbar_.empty() ? BundleError::Incomplete : BundleError::None;
}

QString ResourceBundle::text(int id) const
{
    const auto it = strings_.constFind(id);
    return it == strings_.constEnd() ? QStringLiteral("#%1").arg(id) : *it;
}

void ResourceBundle::resolveTexts(QWidget* root) const
{
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        w->setWindowTitle(Resolve(w->windowTitle()));
        if (auto* l = qobject_cast<QLabel*>(w))
            l->setText(Resolve(l->text()));
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setText(Resolve(b->text()));
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            g->setTitle(Resolve(g->title()));
        w->setToolTip(Resolve(w->toolTip()));
    }
}

QWidget* ResourceBundle::loadDialogForm(int id, QWidget* parent) const
{
    QFile f(QStringLiteral(":/dialogs/%1.ui").arg(id));
    if (!f.open(QIODevice::ReadOnly))
        return nullptr;
    QUiLoader loader;
    QWidget* form = loader.load(&f, parent);
    if (form)
        resolveTexts(form);
    return form;
}

QPixmap ResourceBundle::bitmap(const QString& name) const
{
    return QPixmap(":/" + name);
}

QString ResourceBundle::styleSheet() const
{
    QFile f(":/skin/skin.qss");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace shellui
