// Compile-time checks of the plug-in's interface as the 32-bit editor sees
// it: the callbacks of the TransformRecord are __stdcall (the callee pops
// its arguments) except endProcessing, which is __cdecl. A callback of the
// wrong convention would corrupt the editor's stack, so the build refuses.
#include <cstdint>
#include <type_traits>

#include "host/exports.h"
#include "host/records.h"

#if defined(_WIN32) && !defined(_WIN64)
namespace {

template <class Field, class Expected>
constexpr bool kSame = std::is_same_v<Field, Expected>;

static_assert(kSame<decltype(TransformRecord::readBlock),
                    std::int32_t(__stdcall*)(void*, std::uint32_t, std::uint32_t)>,
              "readBlock is __stdcall");
static_assert(kSame<decltype(TransformRecord::writeBlock),
                    std::int32_t(__stdcall*)(void*, std::uint32_t, std::uint32_t)>,
              "writeBlock is __stdcall");
static_assert(kSame<decltype(TransformRecord::reportProgress),
                    std::int32_t(__stdcall*)(std::uint32_t, std::uint32_t)>,
              "reportProgress is __stdcall");
static_assert(kSame<decltype(TransformRecord::showStatus), std::int32_t(__stdcall*)(const char*, std::int32_t)>,
              "showStatus is __stdcall");
static_assert(kSame<decltype(TransformRecord::endProcessing), void(__cdecl*)(TransformRecord*)>,
              "endProcessing is __cdecl: the caller removes its argument");
static_assert(!kSame<decltype(TransformRecord::endProcessing), void(__stdcall*)(TransformRecord*)>,
              "the compiler tells the conventions apart");
static_assert(kSame<decltype(TransformRecord::requestHandle),
                    std::uint32_t(__stdcall*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t, std::uint32_t)>,
              "requestHandle is __stdcall");
static_assert(kSame<decltype(TransformRecord::releaseHandle), std::int32_t(__stdcall*)(std::uint32_t)>,
              "releaseHandle is __stdcall");
static_assert(kSame<decltype(&QueryXfm), std::uint16_t(__stdcall*)(PluginInfoRecord*)>, "QueryXfm is __stdcall");
static_assert(kSame<decltype(&XfmSetup), std::int32_t(__stdcall*)(std::int32_t, std::int32_t, std::int32_t)>,
              "XfmSetup is __stdcall");
static_assert(kSame<decltype(&XfmDo), std::int32_t(__stdcall*)(TransformRecord*)>, "XfmDo is __stdcall");

}  // namespace
#endif
