#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "base/replace_file.hpp"
#include "support/sample_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/storage.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

constexpr int SAVERS = 3;
constexpr int ROUNDS = 300;

// Vaults of clearly different sizes, so that a mixture or a cut-off file cannot pass for one.
VaultFile vault_with(std::size_t entries) {
    VaultFile vault = testing_support::sample_vault({});
    for (std::size_t i = 0; i < entries; ++i) {
        vault.entries.push_back(testing_support::placeholder_entry("entry-" + std::to_string(i),
                                                                   std::string(200, 'c')));
    }
    return vault;
}

bool is_one_of(const std::string& text, const std::array<std::string, SAVERS>& documents) {
    if (!parse_vault(text)) return false;
    for (const std::string& document : documents) {
        if (text == document) return true;
    }
    return false;
}

// Several processes write their own vault to one path through the locked temporary file as fast
// as they can, each reading the file back after every write, while this process reads it all
// the time: every read must be one complete document. (A host's save would refuse to write
// over another vault; here the write itself is under test.)
TEST(ConcurrentSave, NoReaderEverSeesAnIncompleteVault) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    std::array<VaultFile, SAVERS> vaults{vault_with(1), vault_with(30), vault_with(300)};
    std::array<std::string, SAVERS> documents;
    for (int i = 0; i < SAVERS; ++i) documents[i] = serialize_vault(vaults[i]);
    write_file(path, documents[0]);

    std::vector<pid_t> savers;
    for (int i = 0; i < SAVERS; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int round = 0; round < ROUNDS; ++round) {
                const auto written = replace_file(
                    path, temporary_path(path), [&] { return Result<std::string>(documents[i]); });
                if (!written) ::_exit(1);
                if (!is_one_of(read_file(path), documents)) ::_exit(2);
            }
            ::_exit(0);
        }
        savers.push_back(pid);
    }

    int reads = 0;
    int bad_reads = 0;
    while (!savers.empty()) {
        if (!is_one_of(read_file(path), documents)) ++bad_reads;
        ++reads;
        std::erase_if(savers, [](pid_t pid) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) != pid) return false;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "saver status " << status;
            return true;
        });
    }
    EXPECT_EQ(bad_reads, 0) << "of " << reads << " reads";
    EXPECT_TRUE(is_one_of(read_file(path), documents));
}

}  // namespace
}  // namespace velkaron
