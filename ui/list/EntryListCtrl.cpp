#include "ui/list/EntryListCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include "engine/NameTable.h"
#include "ui/commands/PatchCommands.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/BankNameValidator.h"
#include "ui/list/PatchMimeData.h"
#include "ui/view/QuorlinView.h"

namespace {

// Draws the loaded program bold with the arrow icon; edits a bank's name without its number.
class CEntryDelegate : public QStyledItemDelegate {
public:
    CEntryDelegate(CQuorlinView& view, CEntryListCtrl& list)
        : QStyledItemDelegate(&list), m_view(view), m_list(list) {}

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
        m_list.m_nEditNumber = index.data(CEntryListCtrl::kNumberRole).toInt();
        m_list.m_strEditEntry = text;
        auto* field = static_cast<QLineEdit*>(editor);
        field->setText(blank >= 0 ? text.mid(blank + 1) : text);
        field->selectAll();
    }

    void setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                      const QModelIndex& /*index*/) const override {
        const QString name = static_cast<QLineEdit*>(editor)->text();
        const int number = m_list.m_nEditNumber;
        const QString entry = m_list.m_strEditEntry;
        // The rename talks to the unit; it runs once the editor has closed.
        QTimer::singleShot(
            0, &m_list, [this, number, entry, name] { m_list.FinishRename(number, entry, name); });
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_view.m_nLevel != 1) return;
        const int row = index.row();
        auto icon = [this](int i) {
            return i >= 0 && i < m_view.m_images.size() ? m_view.m_images[i] : QIcon();
        };
        if (m_view.IsLoadedProgram(row)) {
            option->font = m_view.m_hBoldFont;
            option->icon = icon(kIconLoaded);
        } else {
            option->icon = icon(m_list.EntryData(row) != 0 ? kIconUser : kIconFactory);
        }
    }

private:
    CQuorlinView& m_view;
    CEntryListCtrl& m_list;
};

}  // namespace

CEntryListCtrl::CEntryListCtrl(CQuorlinView& view, QWidget* parent)
    : QListWidget(parent), m_view(view) {
    setObjectName(QStringLiteral("m_list"));
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setIconSize(QSize(16, 16));
    setItemDelegate(new CEntryDelegate(view, *this));
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    SetColumnWidth(m_nColumnWidth);
    // An operation may change the banks under an open name editor: the edit is given up.
    connect(&view.Worker(), &CEngineWorker::operationStarting, this, &CEntryListCtrl::CancelEdit);
}

CEntryListCtrl::~CEntryListCtrl() = default;

void CEntryListCtrl::AddEntry(const QString& text, int iconIndex, int data) {
    auto* item = new QListWidgetItem(text, this);
    if (iconIndex >= 0 && iconIndex < m_view.m_images.size()) {
        item->setIcon(m_view.m_images[iconIndex]);
    }
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
    m_view.setAcceptDrops(accept);
    setAcceptDrops(accept);
    viewport()->setAcceptDrops(accept);
    setDragDropMode(accept ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
}

void CEntryListCtrl::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_view.ActivateSelection();
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            m_view.Commands()->DeleteSelection();
            return;
        }
    }
    QListWidget::keyPressEvent(event);
}

void CEntryListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->pos()) != nullptr) {
        m_view.ActivateSelection();
    }
}

bool CEntryListCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only a bank's name is edited in place.
    if (m_view.m_nLevel != 0) return false;
    return QListWidget::edit(index, trigger, event);
}

void CEntryListCtrl::RenameSelectedBank() {
    const int row = SelectedRow();
    if (row < 0 || m_view.m_nLevel != 0) return;
    editItem(item(row));
}

void CEntryListCtrl::CancelEdit() {
    if (state() != QAbstractItemView::EditingState) return;
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>()) {
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
}

void CEntryListCtrl::FinishRename(int number, const QString& entry, const QString& name) {
    if (m_view.Worker().IsBusy()) {
        // Another operation is under way: try again once it is over.
        connect(
            &m_view.Worker(), &CEngineWorker::busyChanged, this,
            [this, number, entry, name](bool) {
                QTimer::singleShot(
                    0, this, [this, number, entry, name] { FinishRename(number, entry, name); });
            },
            Qt::SingleShotConnection);
        return;
    }
    // Only a bank that is still listed as it was when the edit began is renamed: never one that
    // was deleted (the rename would create it again) or changed meanwhile.
    if (m_view.m_nLevel != 0) return;
    const QList<QListWidgetItem*> found = findItems(entry, Qt::MatchExactly);
    if (found.isEmpty() || EntryNumber(entry) != number) return;
    if (m_view.RenameBank(number, name) != 0) return;  // the unit did not get it: keep the old
    // The list may have been refilled while the unit was asked.
    for (QListWidgetItem* item : findItems(entry, Qt::MatchExactly)) {
        item->setText(QStringLiteral("%1 %2").arg(number).arg(name));
        UpdateEntryToolTip(item);
    }
}

std::unique_ptr<QMenu> CEntryListCtrl::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const int row = SelectedRow();
    auto add = [&](const QString& text, int id, auto handler) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, handler);
    };
    CPatchCommands* commands = m_view.Commands();
    if (m_view.m_nLevel == 0) {
        if (row < 0) {
            add(QStringLiteral("Create Bank"), 32803, [commands] { commands->CreateBank(); });
        } else {
            add(QStringLiteral("Rename Bank"), ID_RENAME_BANK, [this] { RenameSelectedBank(); });
            add(QStringLiteral("Delete Bank"), 32805, [commands] { commands->DeleteSelection(); });
        }
    } else if (m_view.m_nLevel == 1 && row >= 0 && EntryData(row) != 0) {
        add(QStringLiteral("Delete Patch"), 32805, [commands] { commands->DeleteSelection(); });
    }
    if (menu->actions().isEmpty()) return nullptr;
    return menu;
}

void CEntryListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    if (std::unique_ptr<QMenu> menu = BuildContextMenu()) menu->exec(event->globalPos());
}

std::unique_ptr<CPatchMimeData> CEntryListCtrl::CreatePatchDrag() {
    if (m_view.m_nLevel != 1) return nullptr;
    const int row = SelectedRow();
    if (row < 0) return nullptr;
    const QString text = item(row)->text();
    const int blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0) return nullptr;
    m_view.ActivateSelection();
    return std::make_unique<CPatchMimeData>(m_view, text.mid(blank + 1) + QStringLiteral(".sig"),
                                            m_dragFolder.path());
}

void CEntryListCtrl::startDrag(Qt::DropActions /*supportedActions*/) {
    // Loading the program runs a local event loop in which the mouse still moves: the gesture
    // must not start a second drag from inside the first, nor one while another operation runs.
    if (m_bStartingDrag || m_view.Worker().IsBusy()) return;
    m_bStartingDrag = true;
    std::unique_ptr<CPatchMimeData> data = CreatePatchDrag();
    m_bStartingDrag = false;
    // Loading the program took a moment: if the button is up by now, the gesture is over. The
    // program stays loaded, as after any drag that ends without a drop.
    if (!data || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
    auto* drag = new QDrag(this);
    if (kIconLoaded >= 0 && kIconLoaded < m_view.m_images.size()) {
        drag->setPixmap(m_view.m_images[kIconLoaded].pixmap(16, 16));
    }
    drag->setMimeData(data.release());
    drag->exec(Qt::CopyAction);
}

bool CEntryListCtrl::AcceptsDrop(const QMimeData* data, QObject* source) const {
    return m_view.m_nLevel == 1 && source != this && data != nullptr && data->hasUrls() &&
           !data->urls().isEmpty() && data->urls().first().isLocalFile();
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
    // The first file only; the others are ignored.
    const QString path = data->urls().first().toLocalFile();
    window()->raise();
    window()->activateWindow();
    QTimer::singleShot(0, this, [this, path] { m_view.Commands()->LoadPatch(path); });
}
