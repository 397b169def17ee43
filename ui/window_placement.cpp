#include "ui/window_placement.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace vovozodo {

namespace placement {

namespace {

// xcb hands its replies over to be freed by the caller.
template <typename Reply> using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t *x11Connection(QWidget *window) {
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window->isVisible() || !window->windowHandle())
        return nullptr;
    return x11->connection();
}

// Where the X server has the top-left corner of the window's client area, in
// the toolkit's logical pixels. Asked from the server itself: the toolkit's
// own record is what may be stale.
std::optional<QPoint> actualClientPosition(QWidget *window) {
    xcb_connection_t *connection = x11Connection(window);
    if (!connection)
        return std::nullopt;
    const auto id = xcb_window_t(window->winId());
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr), &std::free);
    if (!geometry)
        return std::nullopt;
    const XcbReply<xcb_translate_coordinates_reply_t> corner(
        xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, id, geometry->root, 0, 0), nullptr),
        &std::free);
    if (!corner)
        return std::nullopt;
    const qreal ratio = window->devicePixelRatioF();
    return QPointF(corner->dst_x / ratio, corner->dst_y / ratio).toPoint();
}

xcb_atom_t frameExtentsAtom(xcb_connection_t *connection) {
    static constexpr char kName[] = "_NET_FRAME_EXTENTS";
    const XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName),
                              nullptr),
        &std::free);
    return atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The frame the window manager has put around the window, as it announces it;
// none while it has not (yet) announced one.
QMargins announcedFrame(QWidget *window) {
    xcb_connection_t *connection = x11Connection(window);
    if (!connection)
        return {};
    const xcb_atom_t atom = frameExtentsAtom(connection);
    if (atom == XCB_ATOM_NONE)
        return {};
    const XcbReply<xcb_get_property_reply_t> extents(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, xcb_window_t(window->winId()), atom,
                                                XCB_ATOM_CARDINAL, 0, 4),
                               nullptr),
        &std::free);
    if (!extents || extents->format != 32 || xcb_get_property_value_length(extents.get()) != 16)
        return {};
    const auto *v = static_cast<const quint32 *>(xcb_get_property_value(extents.get()));
    const qreal ratio = window->devicePixelRatioF();
    // left, right, top, bottom
    return {qRound(v[0] / ratio), qRound(v[2] / ratio), qRound(v[1] / ratio), qRound(v[3] / ratio)};
}

// The window's frame as the X server has it, or as the toolkit has it elsewhere.
QRect actualFrame(QWidget *window) {
    const std::optional<QPoint> client = actualClientPosition(window);
    if (!client)
        return window->frameGeometry();
    return QRect(*client, window->size()).marginsAdded(announcedFrame(window));
}

// Centres the window and returns the size of the frame it centred: the
// window manager may announce the frame only just after.
QSize centreFrameOnOwner(QWidget *window) {
    QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!owner)
        return window->frameGeometry().size();
    syncWithWindowSystem(owner);
    // Its own record may be as stale as the owner's, and a move to where the
    // toolkit believes the window already is would be skipped.
    syncWithWindowSystem(window);
    const QMargins margins = announcedFrame(window);
    QRect frame = window->geometry().marginsAdded(window->isVisible() ? margins : QMargins());
    frame.moveCenter(actualFrame(owner).center());
    // move() places the frame as the toolkit knows it; aim the client area instead.
    const QPoint client = frame.topLeft() + QPoint(margins.left(), margins.top());
    window->move(client - (window->geometry().topLeft() - window->pos()));
    return frame.size();
}

// Centres a window over its owner whenever the window system settles its
// size or frame. The window manager announces the frame in a property of the
// window, of which the toolkit makes no event: the native events are watched
// for it.
class OwnerCentring final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit OwnerCentring(QWidget *window) : QObject(window), m_window(window) {
        window->installEventFilter(this);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~OwnerCentring() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    OwnerCentring(const OwnerCentring &) = delete;
    OwnerCentring &operator=(const OwnerCentring &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::ShowToParent: // after the toolkit's own placement
            centre();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            // The window manager's answer; a drag by the learner keeps the size.
            if (event->spontaneous())
                centreIfReframed();
            break;
        default:
            break;
        }
        return false;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override {
        if (eventType != "xcb_generic_event_t" || !m_window->isVisible())
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (change->window != xcb_window_t(m_window->winId()))
            return false;
        if (m_frameAtom == XCB_ATOM_NONE)
            if (xcb_connection_t *connection = x11Connection(m_window))
                m_frameAtom = frameExtentsAtom(connection);
        if (change->atom == m_frameAtom)
            QMetaObject::invokeMethod(this, &OwnerCentring::centreIfReframed, Qt::QueuedConnection);
        return false;
    }

private:
    void centreIfReframed() {
        if (m_window->isVisible() && actualFrame(m_window).size() != m_centredFrame)
            centre();
    }
    void centre() { m_centredFrame = centreFrameOnOwner(m_window); }

    QWidget *m_window;
    QSize m_centredFrame;
    xcb_atom_t m_frameAtom = XCB_ATOM_NONE;
};

} // namespace

void syncWithWindowSystem(QWidget *window) {
    const std::optional<QPoint> actual = actualClientPosition(window);
    if (!actual)
        return;
    // The toolkit keeps two records, the native window's and the widget's;
    // either may be the stale one. Setting a record to where the window
    // already stands moves nothing on the screen.
    QWindow *handle = window->windowHandle();
    if (handle->position() != *actual)
        handle->setPosition(*actual);
    const QPoint frameOffset = window->geometry().topLeft() - window->pos();
    if (window->geometry().topLeft() != *actual)
        window->move(*actual - frameOffset);
}

void centreOnOwner(QWidget *window) {
    centreFrameOnOwner(window);
}

void keepCentredOnOwner(QWidget *window) {
    new OwnerCentring(window);
}

} // namespace placement

void DropDownList::showPopup() {
    placement::syncWithWindowSystem(window());
    QComboBox::showPopup();
}

} // namespace vovozodo
