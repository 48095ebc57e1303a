#include "TrayController.h"

#include "ShellActions.h"
#include "TrayGlyph.h"

namespace sorvane {

TrayController::TrayController(bool updatesConfigured, ShellActions *actions, QObject *parent)
    : QObject(parent), m_actions(actions), m_menu(std::make_unique<QMenu>()), m_appearance(new TrayAppearance(this))
{
    for (const MenuEntry &entry : statusMenu(updatesConfigured)) {
        if (entry.isSeparator()) {
            m_menu->addSeparator();
            continue;
        }
        QAction *action = m_menu->addAction(entry.title);
        action->setObjectName(entry.title);
        action->setEnabled(entry.enabled);
        if (!entry.shortcut.isEmpty())
            action->setShortcut(QKeySequence(entry.shortcut));
        const MenuAction what = entry.action;
        connect(action, &QAction::triggered, this, [this, what] {
            if (what == MenuAction::Quit)
                m_actions->perform(what); // at once
            else
                m_actions->performLater(what);
        });
    }
    m_icon.setContextMenu(m_menu.get());
    m_icon.setToolTip(QStringLiteral("Sorvane"));
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_actions->performLater(MenuAction::OpenApp);
    });
    connect(m_appearance, &TrayAppearance::inkChanged, this, &TrayController::refreshGlyph);
    refreshGlyph();
}

TrayController::~TrayController()
{
    m_icon.hide();
}

void TrayController::show()
{
    m_icon.show();
}

void TrayController::refreshGlyph()
{
    // The theme's symbolic icon first, so that the panel can colour it as its own; the
    // drawn glyph only where no theme has it.
    m_icon.setIcon(QIcon::fromTheme(QStringLiteral("com.sorvane.local-symbolic"), TrayGlyph::icon(m_appearance->ink())));
}

} // namespace sorvane
