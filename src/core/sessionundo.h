#pragma once

// Undo and redo for a measuring session. Every change a person makes (a scan, a typed or
// pasted value, a cleared sheet, the frame, the background, the method, the channel, the
// inversion, the found bands) becomes one step: the session's state before and after it.
// Changes are made on the session first and committed afterwards, so a change the
// sheet's editor has already made (typing, pasting) is a step like any other.

#include "core/measurementsession.h"

#include <QString>
#include <QUndoStack>

namespace kesto {

class SessionUndo
{
public:
    // The steps kept; older ones are forgotten.
    static constexpr int MaxSteps = 100;

    explicit SessionUndo(MeasurementSession& session);

    QUndoStack& stack() { return m_stack; }
    // Makes what changed since the last commit one step named text; nothing when the
    // session is as it was.
    void commit(const QString& text);
    // A new starting point: every step is forgotten (a new picture or plan).
    void reset();
    // The state the last step left (what undo goes back to first).
    const SessionState& committed() const { return m_committed; }

private:
    class Step;
    MeasurementSession& m_session;
    QUndoStack m_stack;
    SessionState m_committed;
};

// Whether two states differ in anything a person can see or replay.
bool sameState(const SessionState& a, const SessionState& b);

} // namespace kesto
