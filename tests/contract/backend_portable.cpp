// The contract suites on the portable layer: each test's registry is a
// file in a folder of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/registry.h"
#include "tests/contract/contract_backend.h"

namespace contract {
namespace {

std::string g_folder;

}  // namespace

void OpenTestRegistry() {
    char pattern[] = "/tmp/tovana-contract-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    g_folder = pattern;
    platform::SetRegistryFilePath(g_folder + "/registry.reg");
    platform::TakeRegistryProblem();
}

void CloseTestRegistry() {
    platform::SetRegistryFilePath("");
    std::filesystem::remove_all(g_folder);
}

}  // namespace contract
