#include "earth/earth.h"

namespace qv {
namespace {

// Google Earth's own codes.
constexpr uint32_t kApplicationUninitialized = 0x80048002;  // E_APPLICATION_UNINITIALIZED
// What a call on a crashed or closed local server gets back.
constexpr uint32_t kServerUnavailable = 0x800706BA;  // RPC_S_SERVER_UNAVAILABLE
constexpr uint32_t kCallFailed = 0x800706BE;         // RPC_S_CALL_FAILED
constexpr uint32_t kCallFailedDne = 0x800706BF;      // RPC_S_CALL_FAILED_DNE
constexpr uint32_t kDisconnected = 0x80010108;       // RPC_E_DISCONNECTED
constexpr uint32_t kServerDied = 0x80010007;         // RPC_E_SERVER_DIED
constexpr uint32_t kServerDiedDne = 0x80010012;      // RPC_E_SERVER_DIED_DNE
constexpr uint32_t kObjectNotConnected = 0x800401FD; // CO_E_OBJNOTCONNECTED
// A name the object does not have.
constexpr uint32_t kUnknownName = 0x80020006;    // DISP_E_UNKNOWNNAME
constexpr uint32_t kMemberNotFound = 0x80020003; // DISP_E_MEMBERNOTFOUND

}  // namespace

EarthOutcome ClassifyEarthResult(int32_t hresult) {
    if (hresult >= 0) return EarthOutcome::ok;  // S_OK, S_FALSE, S_TELEPORTED (0x00048003)
    switch (static_cast<uint32_t>(hresult)) {
    case kApplicationUninitialized:
        return EarthOutcome::notReady;
    case kServerUnavailable:
    case kCallFailed:
    case kCallFailedDne:
    case kDisconnected:
    case kServerDied:
    case kServerDiedDne:
    case kObjectNotConnected:
        return EarthOutcome::disconnected;
    case kUnknownName:
    case kMemberNotFound:
        return EarthOutcome::unknownMember;
    default:
        return EarthOutcome::failed;
    }
}

const char* EarthOutcomeName(EarthOutcome outcome) {
    switch (outcome) {
    case EarthOutcome::ok: return "ok";
    case EarthOutcome::notReady: return "not ready";
    case EarthOutcome::disconnected: return "disconnected";
    case EarthOutcome::unknownMember: return "unknown member";
    case EarthOutcome::timedOut: return "timed out";
    case EarthOutcome::failed: break;
    }
    return "failed";
}

}  // namespace qv
