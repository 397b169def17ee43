#include "ui/window_accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace vovozodo {

namespace {

constexpr char kWindowRoleProperty[] = "vovozodo-window-role";

QAccessibleInterface *windowInterface(const QString &, QObject *object) {
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget == nullptr || !widget->isWindow() || !widget->property(kWindowRoleProperty).toBool())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void publishWindow(QWidget *window, const QString &name) {
    static const bool installed = [] {
        QAccessible::installFactory(windowInterface);
        return true;
    }();
    Q_UNUSED(installed);
    // A dialog is already published as one; only plain widgets need the window role.
    if (!window->inherits("QDialog"))
        window->setProperty(kWindowRoleProperty, true);
    window->setAccessibleName(name);
}

} // namespace vovozodo
