// The main frame's tool bar, accelerators and popup menus.
#include "frontend/MainFrame.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "frontend/MainFrameIcons.h"
#include "engine/QtString.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace {

// A tool bar entry; command 0 is a separator.
struct ToolBarEntry {
    int command;
    ToolBarIcon icon;
    char const *tip;
};

constexpr ToolBarEntry kToolBar[] = {
    {ID_FILE_OPEN, ToolBarIcon::Open, "Open"},
    {0, ToolBarIcon::Open, nullptr},
    {ID_PLAY, ToolBarIcon::Play, "Play"},
    {ID_PAUSE, ToolBarIcon::Pause, "Pause"},
    {ID_RESET, ToolBarIcon::Reset, "Reset"},
    {0, ToolBarIcon::Open, nullptr},
    {ID_SAVE, ToolBarIcon::Save, "Save"},
    {ID_LOAD, ToolBarIcon::Load, "Load"},
    {0, ToolBarIcon::Open, nullptr},
    {ID_TOOLS, ToolBarIcon::Tools, "Tools"},
    {ID_APP_EXIT, ToolBarIcon::Exit, "Exit"},
    {0, ToolBarIcon::Open, nullptr},
    {ID_HELP_INDEX, ToolBarIcon::Help, "Help"},
};

struct Accelerator {
    QKeyCombination keys;
    int command;
};

constexpr Accelerator kAccelerators[] = {
    {Qt::CTRL | Qt::Key_Q, ID_APP_EXIT}, {Qt::CTRL | Qt::Key_L, ID_LOAD}, {Qt::CTRL | Qt::Key_O, ID_FILE_OPEN},
    {Qt::CTRL | Qt::Key_R, ID_RESET},    {Qt::CTRL | Qt::Key_S, ID_SAVE}, {Qt::CTRL | Qt::Key_M, ID_TOOLS},
};

// The buttons are as wide as the old ones.
constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kSeparatorWidth = 6;


QAction *AddMenuCommand(QMenu &menu, QString const &text, int command)
{
    QAction *action = menu.addAction(text);
    action->setData(command);
    return action;
}

} // namespace

void MainFrame::CreateToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Tools"), this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolBar->setIconSize(QSize(kToolBarIconSize, kToolBarIconSize));
    m_toolBar->setContentsMargins(0, 0, 0, 0);
    m_toolBar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"
                                            "QToolBar::separator { width: %1px; }")
                                 .arg(kSeparatorWidth));
    for (ToolBarEntry const &entry : kToolBar) {
        if (entry.command == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction *action = m_toolBar->addAction(ToolBarIconSet(entry.icon), QString::fromLatin1(entry.tip));
        action->setData(entry.command);
        action->setObjectName(QStringLiteral("command%1").arg(entry.command));
        connect(action, &QAction::triggered, this, [this, command = entry.command] { OnCommand(command); });
        if (QWidget *button = m_toolBar->widgetForAction(action))
            button->setFixedSize(kButtonWidth, kButtonHeight);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void MainFrame::CreateAccelerators()
{
    // Accelerators act whatever state the tool bar's buttons are in; each
    // command checks for itself whether it can do anything.
    for (Accelerator const &accelerator : kAccelerators) {
        auto *action = new QAction(this);
        action->setShortcut(QKeySequence(accelerator.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, command = accelerator.command] { OnCommand(command); });
        addAction(action);
    }
}

QAction *MainFrame::GetCommandAction(int id) const
{
    if (!m_toolBar)
        return nullptr;
    for (QAction *action : m_toolBar->actions()) {
        if (!action->isSeparator() && action->data().toInt() == id)
            return action;
    }
    return nullptr;
}

std::unique_ptr<QMenu> MainFrame::MakeSlotMenu(bool load)
{
    ZorvanEngine::Module *active = m_engine ? m_engine->GetActiveModule() : nullptr;
    if (!active || !m_engine->IsRunning())
        return nullptr;
    // The marks show the files as they are now, also those saved since the
    // game was opened.
    active->CheckState();
    auto menu = std::make_unique<QMenu>(this);
    AddMenuCommand(*menu, load ? QStringLiteral("Load") : QStringLiteral("Save"),
                   load ? ID_LOAD_HEADER : ID_SAVE_HEADER);
    menu->addSeparator();
    for (int slot = 1; slot <= kSlots; ++slot) {
        QAction *action = AddMenuCommand(*menu, QStringLiteral("Slot %1").arg(slot),
                                         (load ? ID_LOAD_HEADER : ID_SAVE_HEADER) + slot);
        bool const saved = active->HasState(slot);
        action->setCheckable(true);
        action->setChecked(saved);
        if (load)
            action->setEnabled(saved);
    }
    return menu;
}

std::unique_ptr<QMenu> MainFrame::MakeToolsMenu()
{
    if (!m_engine)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    AddMenuCommand(*menu, QStringLiteral("Global Settings"), ID_GLOBAL_SETTINGS);
    menu->addSeparator();
    for (int i = 0; i < m_engine->GetModuleCount(); ++i) {
        // Only the first seven modules have a command of their own; the
        // others are listed but do nothing (their numbers would run into
        // the Console's).
        int const command = ID_SELECT_MODULE + i <= ID_SELECT_MODULE_LAST ? ID_SELECT_MODULE + i : ID_IGNORED;
        AddMenuCommand(*menu, ToQString(m_engine->GetModuleDesc(i)->GetName()), command);
    }
    menu->addSeparator();
    AddMenuCommand(*menu, QStringLiteral("Console"), ID_CONSOLE);
    return menu;
}

std::unique_ptr<QMenu> MainFrame::MakeHelpMenu()
{
    if (!m_engine)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    AddMenuCommand(*menu, QStringLiteral("About"), ID_APP_ABOUT);
    return menu;
}

QPoint MainFrame::PopupPosition(int command) const
{
    int const toolBarBottom = m_toolBar && m_toolBar->isVisible() ? m_toolBar->geometry().bottom() + 1 : 0;
    QAction *action = GetCommandAction(command);
    QWidget *button = action && m_toolBar->isVisible() ? m_toolBar->widgetForAction(action) : nullptr;
    if (!button)
        return QPoint(0, toolBarBottom);
    return QPoint(button->mapTo(this, QPoint(0, 0)).x(), toolBarBottom);
}

void MainFrame::ShowPopup(int command)
{
    std::unique_ptr<QMenu> menu;
    switch (command) {
    case ID_SAVE:
    case ID_LOAD:
        menu = MakeSlotMenu(command == ID_LOAD);
        break;
    case ID_TOOLS:
        menu = MakeToolsMenu();
        break;
    case ID_HELP_INDEX:
        menu = MakeHelpMenu();
        break;
    default:
        break;
    }
    if (!menu)
        return;
    QAction *chosen = menu->exec(mapToGlobal(PopupPosition(command)));
    int const chosenCommand = chosen ? chosen->data().toInt() : 0;
    menu.reset();
    if (chosenCommand)
        OnCommand(chosenCommand);
}
