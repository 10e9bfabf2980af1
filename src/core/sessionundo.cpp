#include "core/sessionundo.h"

#include <QUndoCommand>

namespace kesto {

namespace {

bool sameFrame(const FrameGeometry& a, const FrameGeometry& b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool sameProposals(const BandProposals& a, const BandProposals& b)
{
    if (a.count() != b.count() || a.orientation() != b.orientation())
        return false;
    for (int i = 0; i < a.count(); ++i) {
        const BandProposal& x = a.items()[std::size_t(i)];
        const BandProposal& y = b.items()[std::size_t(i)];
        if (x.id != y.id || x.lane != y.lane || x.band != y.band ||
            !sameFrame(x.frame.geometry(), y.frame.geometry()))
            return false;
    }
    return true;
}

bool sameLadders(const std::vector<LadderLane>& a, const std::vector<LadderLane>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].lane != b[i].lane || a[i].ladder != b[i].ladder ||
            a[i].assignment.has_value() != b[i].assignment.has_value())
            return false;
        if (a[i].assignment && (a[i].assignment->sizeIndex != b[i].assignment->sizeIndex ||
                                a[i].assignment->sizeCount != b[i].assignment->sizeCount))
            return false;
    }
    return true;
}

} // namespace

bool sameState(const SessionState& a, const SessionState& b)
{
    return a.sheet == b.sheet && a.record.history().size() == b.record.history().size() &&
           a.channel == b.channel && a.inverted == b.inverted && a.background == b.background &&
           a.levels == b.levels && a.method == b.method && a.picked == b.picked &&
           a.pickX == b.pickX && a.pickY == b.pickY && sameFrame(a.frame, b.frame) &&
           a.cell.row == b.cell.row && a.cell.column == b.cell.column &&
           sameProposals(a.proposals, b.proposals) && a.lanes == b.lanes &&
           a.handBounds == b.handBounds && sameLadders(a.ladderLanes, b.ladderLanes) &&
           a.sizeFit == b.sizeFit && a.extrapolateSizes == b.extrapolateSizes &&
           a.lanesDark == b.lanesDark && a.laneBackground == b.laneBackground &&
           a.quantify == b.quantify && a.shape == b.shape && a.samples == b.samples &&
           a.results == b.results && a.stain == b.stain && a.picks == b.picks;
}

class SessionUndo::Step : public QUndoCommand
{
public:
    Step(SessionUndo& owner, SessionState before, SessionState after, const QString& text)
        : QUndoCommand(text), m_owner(owner), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void undo() override
    {
        m_owner.m_session.restore(m_before);
        m_owner.m_committed = m_before;
    }
    void redo() override
    {
        // The change is already made when the step is pushed.
        if (m_first) {
            m_first = false;
            return;
        }
        m_owner.m_session.restore(m_after);
        m_owner.m_committed = m_after;
    }

private:
    SessionUndo& m_owner;
    SessionState m_before;
    SessionState m_after;
    bool m_first = true;
};

SessionUndo::SessionUndo(MeasurementSession& session)
    : m_session(session), m_committed(session.state())
{
    // Each step keeps the session's sheet and record twice; a bound keeps a long day's
    // session within memory.
    m_stack.setUndoLimit(MaxSteps);
}

void SessionUndo::commit(const QString& text)
{
    SessionState after = m_session.state();
    if (sameState(after, m_committed))
        return;
    SessionState before = std::move(m_committed);
    m_committed = after;
    m_stack.push(new Step(*this, std::move(before), std::move(after), text));
}

void SessionUndo::reset()
{
    m_stack.clear();
    m_committed = m_session.state();
}

} // namespace kesto
