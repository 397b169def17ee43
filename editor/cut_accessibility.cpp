#include "editor/cut_accessibility.h"

#include "editor/lesson_document.h"
#include "editor/waveform_view.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QSet>

#include <vector>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

class CutSlider : public QAccessibleInterface, public QAccessibleValueInterface {
public:
    CutSlider(WaveformView *view, qsizetype cut) : m_view(view), m_cut(cut) {}

    bool isValid() const override {
        return m_view && m_view->document() &&
               (m_leaving || m_cut < m_view->document()->draft().cutCount());
    }
    // Its cut is gone; it still answers while that is announced.
    void leave() { m_leaving = true; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override {
        return QAccessible::queryAccessibleInterface(m_view.data());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Slider; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.focused = isValid() && m_view->hasFocus() && m_view->selectedCut() == m_cut;
        state.invisible = !isValid();
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return u"Cut between sentences %1 and %2"_s.arg(m_cut + 1).arg(m_cut + 2);
        if (kind == QAccessible::Value && isValid())
            return u"%1 ms"_s.arg(currentValue().toLongLong());
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const double x = m_view->scale().xOf(m_view->document()->draft().cut(m_cut));
        const QPoint topLeft = m_view->mapToGlobal(QPoint(int(x) - WaveformView::kGrabPixels, 0));
        return {topLeft, QSize(2 * WaveformView::kGrabPixels + 1, m_view->height())};
    }
    void *interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface *>(this)
                                                   : nullptr;
    }

    QVariant currentValue() const override { return isValid() ? msOf(cut()) : QVariant(); }
    void setCurrentValue(const QVariant &value) override {
        if (!isValid())
            return;
        LessonDocument *document = m_view->document();
        document->moveCut(m_cut, document->guide().samplesOfMs(value.toLongLong()));
    }
    QVariant maximumValue() const override {
        return isValid() ? msOf(m_view->document()->draft().highestCut(m_cut)) : QVariant();
    }
    QVariant minimumValue() const override {
        return isValid() ? msOf(m_view->document()->draft().lowestCut(m_cut)) : QVariant();
    }
    QVariant minimumStepSize() const override { return 10; }

private:
    qint64 cut() const { return m_view->document()->draft().cut(m_cut); }
    qint64 msOf(qint64 sample) const {
        return sample * 1000 / std::max(1, m_view->document()->guide().sampleRate());
    }

    QPointer<WaveformView> m_view;
    qsizetype m_cut;
    bool m_leaving = false;
};

// The waveforms assistive technology has asked about: only they have
// anything to announce.
QSet<const QObject *> &asked() {
    static QSet<const QObject *> views;
    return views;
}

class WaveformAccessible : public QAccessibleWidget {
public:
    explicit WaveformAccessible(WaveformView *view)
        : QAccessibleWidget(view, QAccessible::Graphic, u"Waveform"_s) {
        asked().insert(view);
    }
    ~WaveformAccessible() override {
        asked().remove(widget());
        for (const QAccessible::Id id : m_cuts)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override {
        const LessonDocument *document = view()->document();
        return document ? int(document->draft().cutCount()) : 0;
    }
    QAccessibleInterface *child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (std::size_t(index) >= m_cuts.size())
            m_cuts.resize(std::size_t(index) + 1, 0);
        QAccessible::Id &id = m_cuts[std::size_t(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new CutSlider(view(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        for (std::size_t i = 0; i < m_cuts.size(); ++i)
            if (m_cuts[i] && QAccessible::accessibleInterface(m_cuts[i]) == child)
                return int(i);
        return -1;
    }

    void cutCountChanged(int before, int after) {
        for (int k = before - 1; k >= after; --k) {
            auto *slider = static_cast<CutSlider *>(cached(k));
            if (!slider) // never asked for, but a reader may have counted it
                slider = new CutSlider(view(), k);
            slider->leave();
            const QAccessible::Id id = QAccessible::uniqueId(slider);
            QAccessibleEvent gone(slider, QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&gone);
            QAccessible::deleteAccessibleInterface(id);
        }
        if (m_cuts.size() > std::size_t(std::max(after, 0)))
            m_cuts.resize(std::size_t(std::max(after, 0)));
        for (int k = std::max(before, 0); k < after; ++k) {
            QAccessibleEvent made(child(k), QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&made);
        }
    }

private:
    QAccessibleInterface *cached(int index) const {
        return std::size_t(index) < m_cuts.size() && m_cuts[std::size_t(index)]
                   ? QAccessible::accessibleInterface(m_cuts[std::size_t(index)])
                   : nullptr;
    }

    WaveformView *view() const { return static_cast<WaveformView *>(widget()); }

    mutable std::vector<QAccessible::Id> m_cuts;
};

} // namespace

QAccessibleInterface *waveformAccessibility(const QString &, QObject *object) {
    if (auto *view = qobject_cast<WaveformView *>(object))
        return new WaveformAccessible(view);
    return nullptr;
}

void announceCutCount(WaveformView *view, qsizetype before, qsizetype after) {
    if (!asked().contains(view))
        return;
    if (auto *waveform =
            dynamic_cast<WaveformAccessible *>(QAccessible::queryAccessibleInterface(view)))
        waveform->cutCountChanged(int(before), int(after));
}

void installCutAccessibility() {
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(waveformAccessibility);
    installed = true;
}

} // namespace vovozodo
