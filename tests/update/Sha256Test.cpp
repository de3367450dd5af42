// SHA-256 of downloads: the digests of the standard's test messages, however
// the bytes arrive.
#include "update/Sha256.h"

#include <gtest/gtest.h>

#include <string>

using namespace vantor;

TEST(Sha256, GivesTheStandardsDigestsWhateverTheBlocks) {
    const std::string million(1'000'000, 'a');
    const struct {
        std::string message;
        std::size_t block;  // bytes per update
        const char* digest;
    } cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 7,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {million, 4093, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {million, million.size(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 20) + " in blocks of " + std::to_string(c.block));
        Sha256 hash;
        ASSERT_TRUE(hash.ok());
        for (std::size_t at = 0; at < c.message.size(); at += c.block)
            hash.update(c.message.data() + at, std::min(c.block, c.message.size() - at));
        EXPECT_EQ(hash.hexDigest(), c.digest);
        EXPECT_EQ(hash.hexDigest(), "") << "the digest ends the hash";
    }
}
