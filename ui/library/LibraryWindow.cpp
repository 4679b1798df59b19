#include "ui/library/LibraryWindow.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "archive/FileWriter.h"
#include "engine/SafeFileName.h"
#include "ui/core/UnitText.h"

namespace {

using namespace library;

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "2026-12-10T19:56:51Z" in the user's local time.
QString LocalTime(const std::string& utc) {
    const QDateTime t = QDateTime::fromString(Q(utc), Qt::ISODate);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : Q(utc);
}

// The library's reasons are clauses ("the library's copy of ... is damaged: ..."): a sentence.
QString Sentence(const std::string& clause) {
    QString text = Q(clause);
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    if (!text.endsWith(QLatin1Char('.'))) text += QLatin1Char('.');
    return text;
}

}  // namespace

CLibraryList::CLibraryList(CProgramLibrary& library, QTemporaryDir& files, QWidget* parent)
    : QTreeWidget(parent), m_library(library), m_files(files) {}

QString CLibraryList::WriteFile(const QString& sha256, QString* error) const {
    const auto stored = m_library.Find(sha256.toStdString());
    std::string why;
    const auto text = m_library.Text(sha256.toStdString(), &why);
    if (!text && error) *error = Sentence(why);
    if (!stored || !text || !m_files.isValid()) return {};
    // One folder per text, so that two programs of one name do not meet.
    const QString folder = m_files.filePath(sha256.left(12));
    QDir().mkpath(folder);
    const std::string safe = SafeFileName(stored->name);
    const QString path = folder + QLatin1Char('/') + Q(safe.empty() ? "program" : safe) +
                         QStringLiteral(".sig");
    if (!filewriter::WriteFileWhole(ToFilePath(path), *text,
                                    filewriter::Target::RegularFile, why))
        return {};
    return path;
}

QStringList CLibraryList::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* CLibraryList::mimeData(const QList<QTreeWidgetItem*>& items) const {
    QList<QUrl> urls;
    for (const auto* item : items) {
        const QString path = WriteFile(item->data(0, CLibraryWindow::kShaRole).toString());
        if (!path.isEmpty()) urls.push_back(QUrl::fromLocalFile(path));
    }
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

CLibraryWindow::CLibraryWindow(CProgramLibrary& library, const QString& openError,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), m_library(library) {
    setWindowTitle(tr("Library - Quorlin"));
    resize(760, 480);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_pSearch = new QLineEdit(this);
    m_pSearch->setPlaceholderText(tr("Search names and info texts"));
    m_pSearch->setClearButtonEnabled(true);
    m_pFilter = new QComboBox(this);
    m_pFilter->addItems({tr("All programs"), tr("On the unit"), tr("Deleted"), tr("Duplicates")});
    top->addWidget(m_pSearch, 1);
    top->addWidget(m_pFilter);
    layout->addLayout(top);
    m_pBanner = new QLabel(this);
    m_pBanner->setWordWrap(true);
    m_pBanner->setVisible(false);
    layout->addWidget(m_pBanner);

    auto* split = new QSplitter(Qt::Vertical, this);
    m_pListPages = new QStackedWidget(split);
    m_pList = new CLibraryList(library, m_files, m_pListPages);
    m_pList->setHeaderLabels({tr("Name"), tr("Size"), tr("Where it lives now"), tr("Last seen")});
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setDragEnabled(true);
    m_pList->setDragDropMode(QAbstractItemView::DragOnly);
    m_pList->header()->resizeSection(ColumnName, 200);
    m_pList->header()->resizeSection(ColumnSize, 70);
    m_pList->header()->resizeSection(ColumnPlace, 320);
    m_pEmptyHint = new QLabel(
        tr("The library is empty.\n\nQuorlin keeps here every program that passes through it: "
           "a patch file loaded into the unit, a bank or the entire unit backed up, a program "
           "dragged out of a bank, a backup restored, and a user program before Delete removes "
           "it from the unit.\n\nTo add .sig files or backup folders you already have, run "
           "“quorlin-cli import FOLDER”."),
        m_pListPages);
    m_pEmptyHint->setTextFormat(Qt::PlainText);
    m_pEmptyHint->setWordWrap(true);
    m_pEmptyHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pEmptyHint->setMargin(12);
    m_pEmptyHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pListPages->addWidget(m_pList);
    m_pListPages->addWidget(m_pEmptyHint);
    m_pInfo = new QPlainTextEdit(split);
    m_pInfo->setReadOnly(true);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    m_pSaveAs = new QPushButton(tr("Save As…"), this);
    m_pSightings = new QPushButton(tr("Show Sightings"), this);
    m_pRestore = new QPushButton(tr("Restore to Unit"), this);
    buttons->addWidget(m_pSaveAs);
    buttons->addWidget(m_pSightings);
    buttons->addWidget(m_pRestore);
    buttons->addStretch(1);
    m_pRunOnlyNote = new QLabel(
        tr("The demo unit's programs are kept in a library of their own, for this run only."),
        this);
    m_pRunOnlyNote->setWordWrap(true);
    m_pRunOnlyNote->setForegroundRole(QPalette::PlaceholderText);  // a quiet note
    m_pRunOnlyNote->setVisible(false);
    buttons->addWidget(m_pRunOnlyNote);
    layout->addLayout(buttons);

    connect(m_pSearch, &QLineEdit::textChanged, this, [this] {
        m_pBanner->setVisible(false);
        Refresh();
    });
    connect(m_pFilter, &QComboBox::currentIndexChanged, this, &CLibraryWindow::Refresh);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CLibraryWindow::SelectionChanged);
    connect(m_pSaveAs, &QPushButton::clicked, this, &CLibraryWindow::SaveAs);
    connect(m_pSightings, &QPushButton::clicked, this, &CLibraryWindow::ShowSightings);
    connect(m_pRestore, &QPushButton::clicked, this, &CLibraryWindow::Restore);
    connect(m_pList, &QTreeWidget::itemActivated, this, &CLibraryWindow::ShowSightings);

    if (!library.IsOpen()) {
        m_pBanner->setText(openError);
        m_pBanner->setVisible(true);
        m_pSearch->setEnabled(false);
        m_pFilter->setEnabled(false);
    } else if (const std::string damage = library.DamageReport(); !damage.empty()) {
        // Found by the check on opening.
        m_pBanner->setText(Q(damage));
        m_pBanner->setVisible(true);
    }
    Refresh();
}

void CLibraryWindow::Refresh() {
    const QString selected = SelectedSha();
    m_pList->clear();
    if (m_library.IsOpen()) {
        const auto filter = static_cast<Filter>(m_pFilter->currentIndex());
        QList<QTreeWidgetItem*> items;
        for (const auto& t : m_library.Search(m_pSearch->text().toStdString(), filter, 1000)) {
            auto* item = new QTreeWidgetItem;
            item->setText(ColumnName, Q(t.name));
            item->setText(ColumnSize, QString::number(t.size));
            item->setTextAlignment(ColumnSize, Qt::AlignRight | Qt::AlignVCenter);
            item->setText(ColumnPlace, Q(PlaceText(t.last)));
            item->setText(ColumnLastSeen, LocalTime(t.lastSeen));
            item->setToolTip(ColumnPlace, Q(PlaceText(t.last)));
            item->setData(0, kShaRole, Q(t.sha256));
            item->setData(0, kDeletedBankRole,
                          t.last.how == How::Deleted ? t.last.where.bank : -1);
            item->setData(0, Qt::UserRole + 2, Q(t.info));
            items.push_back(item);
        }
        m_pList->addTopLevelItems(items);
        for (auto* item : items)
            if (item->data(0, kShaRole).toString() == selected) item->setSelected(true);
    }
    // Empty: how programs get there. A closed library says why in the banner instead.
    const bool empty = m_library.IsOpen() && m_library.TextCount() == 0;
    m_pListPages->setCurrentWidget(empty ? static_cast<QWidget*>(m_pEmptyHint) : m_pList);
    SelectionChanged();
}

void CLibraryWindow::SetForThisRunOnly(bool only) {
    m_pRunOnlyNote->setVisible(only);
}

QString CLibraryWindow::SelectedSha() const {
    const auto items = m_pList->selectedItems();
    return items.isEmpty() ? QString() : items.front()->data(0, kShaRole).toString();
}

void CLibraryWindow::SelectionChanged() {
    const auto items = m_pList->selectedItems();
    const bool any = !items.isEmpty();
    const QString info = any ? items.front()->data(0, Qt::UserRole + 2).toString() : QString();
    m_pInfo->setPlainText(info);
    // Shown in the placeholder's muted colour, so that it cannot pass for a program's own text.
    m_pInfo->setPlaceholderText(any ? tr("No information text.")
                                    : tr("Select a program to read its info text."));
    m_pSaveAs->setEnabled(any);
    m_pSightings->setEnabled(any);
    m_pRestore->setEnabled(any && items.front()->data(0, kDeletedBankRole).toInt() >= 0);
}

void CLibraryWindow::OfferMatches(const QString& text) {
    if (!m_library.IsOpen()) return;
    {
        const QSignalBlocker block(m_pSearch);
        m_pSearch->setText(text);
    }
    m_pFilter->setCurrentIndex(0);
    Refresh();
    const int n = m_pList->topLevelItemCount();
    // English says "1 program ... matches" and "2 programs ... match": two texts, each with its
    // plural forms, so that a language with other forms still finds them in either.
    QString banner;
    if (n == 0) {
        banner = tr("Nothing in the library matches “%1”.").arg(text);
    } else if (n == 1) {
        banner = tr("%n program in the library matches “%1”; the unit is searched meanwhile. "
                    "Each shows its last known place.",
                    nullptr, n)
                     .arg(text);
    } else {
        banner = tr("%n programs in the library match “%1”; the unit is searched meanwhile. "
                    "Each shows its last known place.",
                    nullptr, n)
                     .arg(text);
    }
    m_pBanner->setText(banner);
    m_pBanner->setVisible(true);
    show();
    raise();
}

void CLibraryWindow::SaveAs() {
    const QString sha = SelectedSha();
    const auto stored = m_library.Find(sha.toStdString());
    std::string why;
    const auto text = m_library.Text(sha.toStdString(), &why);
    if (!text) {
        QMessageBox::warning(this, QStringLiteral("Quorlin"), Sentence(why));
        return;
    }
    if (!stored) return;
    const std::string safe = SafeFileName(stored->name);
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save Program As"), Q(safe) + QStringLiteral(".sig"), tr("Program files (*.sig)"));
    if (path.isEmpty()) return;
    if (!filewriter::WriteFileWhole(ToFilePath(path), *text,
                                    filewriter::Target::RegularFile, why))
        QMessageBox::warning(this, QStringLiteral("Quorlin"),
                             tr("Cannot write %1: %2").arg(path, Q(why)));
}

void CLibraryWindow::ShowSightings() {
    const QString sha = SelectedSha();
    // A copy that no longer matches its SHA-256 is not shown as the program.
    std::string why;
    if (!m_library.Text(sha.toStdString(), &why)) {
        QMessageBox::warning(this, QStringLiteral("Quorlin"), Sentence(why));
        return;
    }
    const auto stored = m_library.Find(sha.toStdString());
    if (!stored) return;
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Sightings of %1").arg(Q(stored->name)));
    dialog.resize(640, 300);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(tr("SHA-256 %1, %2 bytes, first seen %3")
                                     .arg(sha)
                                     .arg(stored->size)
                                     .arg(LocalTime(stored->firstSeen)),
                                 &dialog));
    auto* list = new QTreeWidget(&dialog);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({tr("When"), tr("How"), tr("Where"), tr("Name")});
    for (const auto& s : m_library.Sightings(sha.toStdString()))
        list->addTopLevelItem(new QTreeWidgetItem(
            {LocalTime(s.when), Q(HowText(s.how)), Q(PlaceText(s)), Q(s.name)}));
    list->header()->resizeSection(0, 130);
    list->header()->resizeSection(1, 130);
    list->header()->resizeSection(2, 300);
    layout->addWidget(list);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    dialog.exec();
}

void CLibraryWindow::Restore() {
    const auto items = m_pList->selectedItems();
    if (items.isEmpty()) return;
    const int bank = items.front()->data(0, kDeletedBankRole).toInt();
    if (bank < 0) return;
    QString why;
    const QString file = m_pList->WriteFile(SelectedSha(), &why);
    if (file.isEmpty()) {
        if (!why.isEmpty()) QMessageBox::warning(this, QStringLiteral("Quorlin"), why);
        return;
    }
    emit restoreRequested(file, bank);
    Refresh();
}
