#pragma once
// Runs its action when the scope ends, however it ends: the grid's locks, guards and modes are
// restored on the way out of an exception too.

#include <utility>

template <class F>
class TGridFinallyKv {
 public:
  explicit TGridFinallyKv(F Action) : FAction(std::move(Action)) {}
  ~TGridFinallyKv() { FAction(); }
  TGridFinallyKv(const TGridFinallyKv&) = delete;
  TGridFinallyKv& operator=(const TGridFinallyKv&) = delete;

 private:
  F FAction;
};
