#include "EngineState.h"
namespace tlxsim {
void EngineImpl::PinPadLine(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::PinPadModule(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::PinEntryControl(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::Interaction(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::KeypadLine(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::MediaCommand(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::BlockDownload(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::HidPacket(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::PullStart(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::PullResponse(Link, const ParsedCommand&, Clock::time_point) {}
void EngineImpl::PullNext(Link, Clock::time_point) {}
void EngineImpl::CompleteSignature(int) {}
}
