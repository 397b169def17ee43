#pragma once

class QAccessibleInterface;
class QObject;
class QString;

#include <QtGlobal>

namespace vovozodo {

class WaveformView;

// Lets assistive technology see the waveform's cuts as sliders, one per cut
// ("Cut between sentences 3 and 4", in milliseconds, step 10): setting a
// slider's value moves its cut as a drag with Shift would, as one undo step.
// Installed once for the application; returns the interface for a
// WaveformView and nothing for anything else.
QAccessibleInterface *waveformAccessibility(const QString &className, QObject *object);
void installCutAccessibility();
// The number of cuts went from `before` to `after` (a split, a merge, their
// undo, another proposal): the sliders past the smaller count are announced
// gone or new, so that a screen reader caching the tree shows no stale ones.
void announceCutCount(WaveformView *view, qsizetype before, qsizetype after);

} // namespace vovozodo
