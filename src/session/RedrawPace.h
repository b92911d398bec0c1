#pragma once
// When a chart that follows work under way is drawn again: not before a wait of its last
// drawing's cost divided by the share of the interface thread it may take, so that a chart of
// many points leaves the thread free for the user, and a chart of few follows closely.

namespace quillane::session {

class RedrawPace {
 public:
  // `share`: the part of the thread the drawings may take, above 0 and at most 1.
  explicit RedrawPace(double share) : share_(share) {}

  // Whether a drawing is due at `now` (seconds on any steady clock).
  bool Due(double now) const { return now >= next_; }
  // A drawing began at `start` and took `cost` seconds.
  void Drawn(double start, double cost) { next_ = start + cost / share_; }
  // The next drawing is due at once (a new study).
  void Restart() { next_ = 0; }

 private:
  double share_;
  double next_ = 0;
};

}  // namespace quillane::session
