// brindel-operator: the download engine's operator program.
//
//   brindel-operator [FILE.cla | PACKAGE]
//
// Works in the current directory ("flash.txt", "config.txt", the SPM files,
// the multi-download module), as the engine does.
#include "operator_texts.h"
#include "operator_window.h"

#include "brindel/panels/dwl51mmi.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString language = brindelui::LanguageForLocale();
    brindelui::SetLanguage(language);
    QTranslator qtTexts;  // the toolkit's own buttons (OK, Cancel) in Chinese
    if (language == "zh" && qtTexts.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    if (dwl51_41ClaimInstance() != 1) {
        QMessageBox::warning(nullptr, brindelui::Tr(brindelui::Text::WindowTitle),
                             brindelui::Tr(brindelui::Text::AlreadyRunning));
        return 1;
    }
    brindelui::OperatorWindow window;
    window.show();
    window.startUp(QApplication::arguments().mid(1));
    return QApplication::exec();
}
