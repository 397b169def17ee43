// Listening: the selected clip or the seconds around its cut, as saved, at
// the chosen speed.
#include "editor/clip_sound.h"
#include "editor/editor_window.h"
#include "editor/sound_output.h"

#include <QTimer>

#include <algorithm>

namespace vovozodo {

void EditorWindow::listen(Listen what) {
    if (m_output->isPlaying()) {
        m_output->stop();
        m_playheadTimer->stop();
        return;
    }
    const LessonDraft &draft = m_document.draft();
    const qsizetype sentence = std::max<qsizetype>(selectedSentence(), 0);
    if (draft.sentences.isEmpty() || m_sampleRate <= 0)
        return;
    const Clip clip = padSpans(draft.spans, m_sampleRate)[std::size_t(sentence)];
    const qint64 second = m_sampleRate;
    const qsizetype cut = std::min(sentence, draft.cutCount() - 1);
    const qint64 at = cut >= 0 ? draft.cut(cut) : clip.end;
    qint64 first = clip.start;
    qint64 last = clip.end;
    switch (what) {
    case Listen::Clip:
        break;
    case Listen::BeforeCut:
        first = std::max<qint64>(0, at - second);
        last = at;
        break;
    case Listen::AfterCut:
        first = at;
        last = std::min(m_totalSamples, at + second);
        break;
    case Listen::ClipStart:
        last = std::min(clip.end, clip.start + second);
        break;
    case Listen::ClipEnd:
        first = std::max(clip.start, clip.end - second);
        break;
    }
    m_output->play([path = m_recording, first, last, speed = m_speed] {
        return slowedDown(renderStretch(path, first, last, true), speed);
    });
    m_playheadTimer->start();
}

} // namespace vovozodo
