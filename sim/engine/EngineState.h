// The terminal's state behind tlxsim::Engine, exposed for tests and the
// tlx-sim program's options.
#ifndef TLXSIM_ENGINESTATE_H
#define TLXSIM_ENGINESTATE_H

#include "Engine.h"

namespace tlxsim {

class EngineImpl {
 public:
  mutable std::mutex mu;
  std::string storageDir = ".";
  std::string model = "R40";
  Customer customer;
};

}  // namespace tlxsim

#endif
