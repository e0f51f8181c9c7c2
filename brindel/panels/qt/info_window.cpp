#include "info_window.h"

#include "operator_texts.h"
#include "operator_window.h"

#include "brindel/dwl16comp.h"
#include "brindel/panels/dwl55info.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <vector>

namespace brindelui {

namespace {
void Line(const char* label, const char* value, void* user)
{
    static_cast<InfoWindow*>(user)->addLine(label, value);
}
}  // namespace

InfoWindow::InfoWindow(QWidget* parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    tree_ = new QTreeWidget;
    tree_->setColumnCount(2);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(460, 380);
}

void InfoWindow::addLine(const char* label, const char* value)
{
    auto* item = new QTreeWidgetItem(tree_);
    if (label != nullptr) {
        item->setText(0, QString::fromUtf8(label));
        item->setText(1, QString::fromUtf8(value));
    } else {
        item->setText(0, QString::fromUtf8(value));
        item->setFirstColumnSpanned(true);
    }
    tree_->resizeColumnToContents(0);
}

void InfoWindow::showSoftware(const uint8_t* image, uint32_t size)
{
    setWindowTitle(Tr(Text::SoftwareInformation));
    if (image == nullptr) {
        addLine(nullptr, Tr(Text::NoSoftwareLoaded).toUtf8().constData());
        return;
    }
    (void)dwl55_0SoftwareInformation(image, size, &Line, this);
}

void InfoWindow::showPackage(const uint8_t* package, uint32_t size, int softwareVersion)
{
    setWindowTitle(Tr(Text::PackageInformation));
    if (package == nullptr) {
        addLine(nullptr, Tr(Text::NoPackageLoaded).toUtf8().constData());
        return;
    }
    (void)dwl55_1PackageInformation(package, size, softwareVersion, &Line, this);
}

QStringList InfoWindow::lines() const
{
    QStringList out;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree_->topLevelItem(i);
        out << (item->text(1).isEmpty() ? item->text(0) : item->text(0) + ":" + item->text(1));
    }
    return out;
}

MultiPackWindow::MultiPackWindow(OperatorWindow* owner) : QDialog(owner), owner_(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Tr(Text::MultiPack));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, 3);
    table_->setHorizontalHeaderLabels({Tr(Text::PackSize), Tr(Text::PackAddress), Tr(Text::PackMandatory)});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);
    const T_DownloadContext& c = sg_DownloadContext;
    std::vector<T_PackRow> rows(DWL_MAX_PACKS);
    const int n = c.softwareImage != nullptr
        ? dwl55_2PackList(c.softwareImage, c.softwareSize, rows.data(), static_cast<int>(rows.size()))
        : 0;
    for (int i = 0; i < n; ++i) {
        char size[24], address[24], mandatory[24];
        dwl55_3FormatPackRow(&rows[static_cast<size_t>(i)], size, address, mandatory, sizeof size);
        table_->insertRow(i);
        table_->setItem(i, 0, new QTableWidgetItem(QString::fromLatin1(size)));
        table_->setItem(i, 1, new QTableWidgetItem(QString::fromLatin1(address)));
        table_->setItem(i, 2, new QTableWidgetItem(QString::fromLatin1(mandatory)));
        table_->item(i, 0)->setData(Qt::UserRole, rows[static_cast<size_t>(i)].address);
        table_->item(i, 0)->setData(Qt::UserRole + 1, rows[static_cast<size_t>(i)].size);
        table_->item(i, 0)->setData(Qt::UserRole + 2, rows[static_cast<size_t>(i)].mandatory);
    }
    if (n <= 0)
        layout->addWidget(new QLabel(Tr(Text::NoSoftwareLoaded)));
    auto* start = new QPushButton(Tr(Text::DownloadChosenPack));
    start->setEnabled(n > 0 && owner_->busy() == false);
    layout->addWidget(start);
    connect(start, &QPushButton::clicked, this, [this] {
        if (table_->currentRow() >= 0)
            downloadInto(table_->currentRow());
    });
    resize(480, 300);
}

int MultiPackWindow::packCount() const
{
    return table_->rowCount();
}

void MultiPackWindow::downloadInto(int row)
{
    if (row < 0 || row >= table_->rowCount() || owner_->busy())
        return;
    const QTableWidgetItem* item = table_->item(row, 0);
    const T_PackRow pack{item->data(Qt::UserRole + 1).toUInt(), item->data(Qt::UserRole).toUInt(),
                         item->data(Qt::UserRole + 2).toInt()};
    dwl55_4ChoosePack(&sg_DownloadContext, &pack);
    owner_->applyContext();
    owner_->start();
    close();
}

}  // namespace brindelui
