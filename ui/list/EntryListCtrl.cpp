#include "ui/list/EntryListCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <utility>
#include <QUrl>

#include "engine/NameTable.h"
#include "engine/ProgramFetch.h"
#include "ui/core/BrowseState.h"
#include "ui/core/BusyInputFilter.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/BankNameValidator.h"
#include "ui/list/PatchMimeData.h"

namespace {

// Draws the loaded program bold with the arrow icon; edits a bank's name without its number.
class CEntryDelegate : public QStyledItemDelegate {
public:
    CEntryDelegate(const CBrowseState& state, CEntryListCtrl& list)
        : QStyledItemDelegate(&list), m_state(state), m_list(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* editor =
            static_cast<QLineEdit*>(QStyledItemDelegate::createEditor(parent, option, index));
        // A framed, filled text field over the entry, so that it is plain that keys (Delete
        // included) now edit the name.
        editor->setFrame(true);
        editor->setAutoFillBackground(true);
        auto* validator = new CBankNameValidator(editor);
        QObject::connect(validator, &CBankNameValidator::rejected, editor,
                         [editor](const QString& message) {
                             QToolTip::showText(editor->mapToGlobal(QPoint(0, editor->height())),
                                                CBankNameValidator::ToolTipText(message), editor);
                         });
        editor->setValidator(validator);
        editor->setMaxLength(static_cast<int>(nametable::kMaxNameLength));
        return editor;
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        // The frame needs more height than a row has: grow the field around the row's middle.
        QRect area = editor->geometry();
        const int height = std::max(area.height(), editor->sizeHint().height());
        area.setTop(option.rect.center().y() - height / 2);
        area.setHeight(height);
        editor->setGeometry(area);
        editor->raise();
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // The user edits the name alone; the number is kept aside.
        const QString text = index.data(Qt::DisplayRole).toString();
        const int blank = text.indexOf(QLatin1Char(' '));
        m_nEditNumber = index.data(CEntryListCtrl::kNumberRole).toInt();
        m_strEditEntry = text;
        auto* field = static_cast<QLineEdit*>(editor);
        field->setText(blank >= 0 ? text.mid(blank + 1) : text);
        field->selectAll();
    }

    void setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                      const QModelIndex& /*index*/) const override {
        const QString name = static_cast<QLineEdit*>(editor)->text();
        // Enter does not take a name of blanks only (the validator), but a change of the
        // current entry commits whatever the field holds: such a name ends the edit as Esc does.
        if (!CBankNameValidator::IsBankName(name)) return;
        const int number = m_nEditNumber;
        const QString entry = m_strEditEntry;
        // The rename talks to the unit; it runs once the editor has closed.
        m_list.QueueRename(number, entry, name);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_state.Level() != CBrowseState::kProgramLevel) return;
        const int row = index.row();
        auto icon = [this](int i) {
            const QList<QIcon>& images = m_list.Images();
            return i >= 0 && i < images.size() ? images[i] : QIcon();
        };
        if (m_state.IsLoadedProgram(row)) {
            QFont bold = m_list.font();
            bold.setWeight(QFont::Bold);
            option->font = bold;
            option->icon = icon(kIconLoaded);
        } else {
            option->icon = icon(m_list.EntryData(row) != 0 ? kIconUser : kIconFactory);
        }
    }

private:
    const CBrowseState& m_state;
    CEntryListCtrl& m_list;
    // The bank being renamed, taken when the edit begins: its number and its entry's text.
    mutable int m_nEditNumber = -1;
    mutable QString m_strEditEntry;
};

}  // namespace

CEntryListCtrl::CEntryListCtrl(const CBrowseState& state, CEngineWorker& worker, QWidget* parent)
    : QListWidget(parent),
      m_state(state),
      m_worker(worker),
      m_images{QIcon(QStringLiteral(":/icons/130-bank.png")),
               QIcon(QStringLiteral(":/icons/131-factory.png")),
               QIcon(QStringLiteral(":/icons/136-loaded.png")),
               QIcon(QStringLiteral(":/icons/140-user.png"))} {
    setObjectName(QStringLiteral("entryList"));
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setIconSize(QSize(16, 16));
    setItemDelegate(new CEntryDelegate(state, *this));
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    SetColumnWidth(m_nColumnWidth);
    SetAcceptDrops(state.Level() == CBrowseState::kProgramLevel);
    // Files are dropped on the program list only.
    connect(&state, &CBrowseState::levelChanged, this,
            [this](int level) { SetAcceptDrops(level == CBrowseState::kProgramLevel); });
    // The loaded program's mark follows the level, the bank, the DSP and the loaded program.
    auto repaint = [this] { viewport()->update(); };
    connect(&state, &CBrowseState::levelChanged, this, repaint);
    connect(&state, &CBrowseState::currentBankChanged, this, repaint);
    connect(&state, &CBrowseState::dspChanged, this, repaint);
    connect(&state, &CBrowseState::loadedChanged, this, repaint);
    // An operation may change the banks under an open name editor: the edit is given up.
    connect(&worker, &CEngineWorker::operationStarting, this, &CEntryListCtrl::CancelEdit);
    // Nothing the user does here starts a second operation or changes what the running one
    // works on.
    CBusyInputFilter::Install(worker, this);
    CBusyInputFilter::Install(worker, viewport());
}

CEntryListCtrl::~CEntryListCtrl() = default;

void CEntryListCtrl::AddEntry(const QString& text, int iconIndex, int data) {
    auto* item = new QListWidgetItem(text, this);
    if (iconIndex >= 0 && iconIndex < m_images.size()) item->setIcon(m_images[iconIndex]);
    item->setData(Qt::UserRole, data);
    // The number is read once, from the unit's text; the shown text may change (a rename).
    item->setData(kNumberRole, EntryNumber(text));
    item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
    item->setSizeHint(QSize(m_nColumnWidth, std::max(fontMetrics().height(), 16) + 2));
    UpdateEntryToolTip(item);
}

void CEntryListCtrl::UpdateEntryToolTip(QListWidgetItem* entry) const {
    // The room for the text: the column less the icon and the margins the style draws.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = m_nColumnWidth - iconSize().width() - 4 * margin;
    const QString text = entry->text();
    const bool cut = fontMetrics().horizontalAdvance(text) > room;
    entry->setData(Qt::ToolTipRole, cut ? QVariant(text) : QVariant());
}

int CEntryListCtrl::SelectedRow() const {
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected()) return i;
    }
    return -1;
}

void CEntryListCtrl::SelectRow(int rowIndex) {
    QListWidgetItem* entry = item(rowIndex);
    if (entry == nullptr) {
        clearSelection();
        return;
    }
    setCurrentItem(entry, QItemSelectionModel::ClearAndSelect);
    scrollToItem(entry);
}

int CEntryListCtrl::EntryData(int rowIndex) const {
    const QListWidgetItem* entry = item(rowIndex);
    return entry != nullptr ? entry->data(Qt::UserRole).toInt() : 0;
}

int CEntryListCtrl::EntryNumberAt(int rowIndex) const {
    const QListWidgetItem* entry = item(rowIndex);
    return entry != nullptr ? entry->data(kNumberRole).toInt() : -1;
}

void CEntryListCtrl::SetColumnWidth(int width) {
    m_nColumnWidth = width;
    for (int i = 0; i < count(); ++i) {
        item(i)->setSizeHint(QSize(width, std::max(fontMetrics().height(), 16) + 2));
        UpdateEntryToolTip(item(i));
    }
}

void CEntryListCtrl::SetAcceptDrops(bool accept) {
    setAcceptDrops(accept);
    viewport()->setAcceptDrops(accept);
    setDragDropMode(accept ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
}

void CEntryListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->pos()) != nullptr) emit activated();
}

bool CEntryListCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only a bank's name is edited in place.
    if (m_state.Level() != CBrowseState::kBankLevel) return false;
    return QListWidget::edit(index, trigger, event);
}

void CEntryListCtrl::RenameSelectedBank() {
    const int row = SelectedRow();
    if (row < 0 || m_state.Level() != CBrowseState::kBankLevel) return;
    editItem(item(row));
}

void CEntryListCtrl::QueueRename(int number, const QString& entry, const QString& name) {
    const std::uint64_t cancels = m_nCancels;
    QTimer::singleShot(0, this, [this, cancels, number, entry, name] {
        if (m_nCancels == cancels) FinishRename(number, entry, name);
    });
}

void CEntryListCtrl::CancelEdit() {
    // An editor that a command's own focus change closed a moment ago (a window it opened)
    // has left its name queued: that is given up too.
    ++m_nCancels;
    if (state() != QAbstractItemView::EditingState) return;
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>()) {
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
}

void CEntryListCtrl::FinishRename(int number, const QString& entry, const QString& name) {
    if (m_worker.IsBusy()) {
        // Another operation is under way: try again once it is over.
        connect(
            &m_worker, &CEngineWorker::busyChanged, this,
            [this, number, entry, name](bool) {
                QTimer::singleShot(
                    0, this, [this, number, entry, name] { FinishRename(number, entry, name); });
            },
            Qt::SingleShotConnection);
        return;
    }
    // Only a bank that is still listed as it was when the edit began is renamed: never one that
    // was deleted (the rename would create it again) or changed meanwhile.
    if (m_state.Level() != CBrowseState::kBankLevel) return;
    const QList<QListWidgetItem*> found = findItems(entry, Qt::MatchExactly);
    if (found.isEmpty() || EntryNumber(entry) != number) return;
    emit renameCommitted(number, entry, name);
}

void CEntryListCtrl::ShowBankName(const QString& entry, int number, const QString& name) {
    // The list may have been refilled while the unit was asked.
    for (QListWidgetItem* item : findItems(entry, Qt::MatchExactly)) {
        item->setText(QStringLiteral("%1 %2").arg(number).arg(name));
        UpdateEntryToolTip(item);
    }
}

std::unique_ptr<QMenu> CEntryListCtrl::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const int row = SelectedRow();
    auto add = [&](const QString& text, const char* name, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        // A command gives an open name editor up before it runs.
        connect(action, &QAction::triggered, this, &CEntryListCtrl::CancelEdit);
        connect(action, &QAction::triggered, this, handler);
    };
    if (m_state.Level() == CBrowseState::kBankLevel) {
        add(tr("&Create Bank…"), "createBankAction", &CEntryListCtrl::createBankRequested);
        if (row >= 0) {
            add(tr("&Rename Bank"), "renameBankAction", &CEntryListCtrl::RenameSelectedBank);
            add(tr("&Delete Bank"), "deleteAction", &CEntryListCtrl::deleteRequested);
        }
    } else if (m_state.Level() == CBrowseState::kProgramLevel && row >= 0 && EntryData(row) != 0) {
        add(tr("&Delete Patch"), "deleteAction", &CEntryListCtrl::deleteRequested);
    }
    if (menu->actions().isEmpty()) return nullptr;
    return menu;
}

void CEntryListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard: under the current entry (where the user looks), else at the top.
        const QRect rect = currentIndex().isValid() ? visualRect(currentIndex()) : QRect();
        at = viewport()->mapToGlobal(rect.isValid() ? rect.bottomLeft() : QPoint(0, 0));
    }
    if (std::unique_ptr<QMenu> menu = BuildContextMenu()) menu->exec(at);
}

void CEntryListCtrl::keyPressEvent(QKeyEvent* event) {
    const bool menuKey =
        event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey) {
        // The same menu as a right click (the system does not always turn these keys into a
        // context menu request).
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint(),
                                  event->modifiers());
        contextMenuEvent(&request);
        event->accept();
        return;
    }
    const int row = SelectedRow();
    if (event->matches(QKeySequence::Delete) && m_state.Level() == CBrowseState::kProgramLevel &&
        row >= 0 && EntryData(row) == 0) {
        // Delete is the main window's action, which is off for a factory program: say why.
        emit keyRefused(tr("\"%1\" is a factory program and cannot be deleted: only user "
                           "programs can be deleted.")
                            .arg(item(row)->text()));
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

bool CEntryListCtrl::BeginPatchDrag() {
    if (m_state.Level() != CBrowseState::kProgramLevel || m_worker.IsBusy()) return false;
    const int row = SelectedRow();
    if (row < 0 || !item(row)->text().contains(QLatin1Char(' '))) return false;
    m_bDragGesture = true;
    emit dragStarted();
    return true;
}

std::unique_ptr<CPatchMimeData> CEntryListCtrl::CreatePatchDrag(int row, const ProgramFetch& fetch,
                                                                QString& refusal) {
    refusal.clear();
    if (row < 0 || row >= count()) return nullptr;
    const QString text = item(row)->text();
    const int blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0) return nullptr;
    const QString name = text.mid(blank + 1);
    if (fetch.status == ProgramFetch::Status::WrongProgram) {
        // Another program's text is never offered under this program's name.
        refusal = tr("Cannot drag out program %1 of bank %2: the unit sent \"%3\" instead of "
                     "\"%4\".")
                      .arg(EntryNumberAt(row))
                      .arg(m_state.CurrentBank())
                      .arg(FromUtf8(fetch.sentName), WithoutTrailingBlanks(name));
        return nullptr;
    }
    if (!fetch.Fetched()) return nullptr;
    return std::make_unique<CPatchMimeData>(
        name + QStringLiteral(".sig"), m_dragFolder.path(),
        QByteArray(fetch.text.data(), static_cast<qsizetype>(fetch.text.size())));
}

void CEntryListCtrl::startDrag(Qt::DropActions /*supportedActions*/) {
    // The program is fetched first, on the worker; the drag itself starts once it is here
    // (DragProgram), so that the drop needs nothing more from the unit.
    BeginPatchDrag();
}

void CEntryListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_bDragGesture = false;
    QListWidget::mouseReleaseEvent(event);
}

void CEntryListCtrl::DragProgram(int row, const ProgramFetch& fetch) {
    QString refusal;
    std::unique_ptr<CPatchMimeData> data = CreatePatchDrag(row, fetch, refusal);
    if (!refusal.isEmpty()) {
        emit dragRefused(refusal);
        return;
    }
    // Fetching took a moment: if the button was released meanwhile, the gesture is over (a
    // button held now belongs to a later press). The program stays loaded, as after a click.
    const bool gesture = std::exchange(m_bDragGesture, false);
    if (!data || !gesture || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
    auto* drag = new QDrag(this);
    if (kIconLoaded < m_images.size()) drag->setPixmap(m_images[kIconLoaded].pixmap(16, 16));
    drag->setMimeData(data.release());
    drag->exec(Qt::CopyAction);
}

bool CEntryListCtrl::AcceptsDrop(const QMimeData* data, QObject* source) const {
    return m_state.Level() == CBrowseState::kProgramLevel && source != this && data != nullptr &&
           data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile();
}

void CEntryListCtrl::dragEnterEvent(QDragEnterEvent* event) {
    if (AcceptsDrop(event->mimeData(), event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CEntryListCtrl::dragMoveEvent(QDragMoveEvent* event) {
    if (AcceptsDrop(event->mimeData(), event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CEntryListCtrl::dropEvent(QDropEvent* event) {
    if (!AcceptsDrop(event->mimeData(), event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    TakeDrop(event->mimeData());
}

void CEntryListCtrl::TakeDrop(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    window()->raise();
    window()->activateWindow();
    // Loading talks to the unit: not from inside the drop.
    QTimer::singleShot(0, this, [this, paths] { emit filesDropped(paths); });
}
