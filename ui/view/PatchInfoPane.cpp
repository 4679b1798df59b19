#include "ui/view/PatchInfoPane.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/core/BrowseState.h"

CPatchInfoPane::CPatchInfoPane(const CBrowseState& state, QWidget* parent)
    : QWidget(parent), m_state(state) {
    // A title bar in the colours of a button face, as the pane has always had.
    m_title = new QLabel(tr("Patch Info"), this);
    m_title->setObjectName(QStringLiteral("m_paneTitle"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setBackgroundRole(QPalette::Button);
    m_title->setForegroundRole(QPalette::ButtonText);
    m_title->setAutoFillBackground(true);
    m_title->setMargin(4);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("m_paneText"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setUndoRedoEnabled(false);
    m_text->setFocusPolicy(Qt::StrongFocus);
    m_text->setTabChangesFocus(true);
    m_text->setAccessibleName(tr("Patch Info"));
    m_text->setAccessibleDescription(tr("Information text of the loaded program"));
    // A file dropped on the text goes to the view, as on the rest of the pane.
    m_text->setAcceptDrops(false);
    m_text->viewport()->setAcceptDrops(false);
    m_title->setBuddy(m_text);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addWidget(m_text, 1);

    connect(&m_state, &CBrowseState::currentBankChanged, this, &CPatchInfoPane::ShowStateText);
    connect(&m_state, &CBrowseState::dspChanged, this, &CPatchInfoPane::ShowStateText);
    connect(&m_state, &CBrowseState::loadedChanged, this, &CPatchInfoPane::ShowStateText);
    connect(&m_state, &CBrowseState::infoChanged, this, &CPatchInfoPane::ShowStateText);
    ShowStateText();
}

QString CPatchInfoPane::Text() const {
    return m_text->toPlainText();
}

QScrollBar* CPatchInfoPane::ScrollBar() const {
    return m_text->verticalScrollBar();
}

void CPatchInfoPane::ShowStateText() {
    // Unchanged text keeps its scroll position and selection.
    const QString text = m_state.PaneText();
    if (text == m_shown) return;
    m_shown = text;
    m_text->setPlainText(text);
}
