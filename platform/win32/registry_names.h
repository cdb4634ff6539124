// windows.h maps the registry's plain names onto its A/W functions with
// macros (RegOpenKey becomes RegOpenKeyA, ...). Code that includes it and
// calls the functions of platform/registry.h by the same names includes
// this afterwards.
#pragma once

#undef RegOpenKey
#undef RegCreateKey
#undef RegQueryValue
#undef RegSetValue
#undef RegDeleteValue
#undef RegEnumKey
#undef RegDeleteKey
#undef RegDeleteTree
