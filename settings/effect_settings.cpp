#include "settings/effect_settings.h"

namespace {
EffectSettings g_settings{};  // static storage: zero at load
}

EffectSettings& TheEffectSettings() { return g_settings; }
