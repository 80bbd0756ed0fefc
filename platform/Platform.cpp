// Which platform implementation the program talks to.
#include "platform/Platform.h"

namespace platform {
namespace {
IPlatform* g_pReplacement = nullptr;
}  // namespace

IPlatform& Platform() { return g_pReplacement != nullptr ? *g_pReplacement : NativePlatform(); }

void InstallPlatform(IPlatform* replacement) { g_pReplacement = replacement; }

}  // namespace platform
