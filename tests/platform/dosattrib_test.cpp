#include <gtest/gtest.h>

#include "platform/dosattrib.h"

namespace {
// A record as Samba 4 writes it: archive, with a created time.
const unsigned char kSamba[] = {0x30, 0x78, 0x32, 0x30, 0x00, 0x00, 0x05, 0x00, 0x05, 0x00,
                                0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00,
                                0xbf, 0xce, 0x6a, 0x8a, 0xa3, 0x17, 0xd6, 0x01};
}

TEST(DosAttrib, ReadsAndWritesTheSambaRecord) {
    std::string blob(reinterpret_cast<const char*>(kSamba), sizeof kSamba);
    ferro::DosAttrib v;
    ASSERT_TRUE(ferro::DecodeDosAttrib(blob, v));
    EXPECT_EQ(v.attributes, 0x20u);
    ASSERT_TRUE(v.createTime.has_value());
    EXPECT_EQ(ferro::ToWindowsFileTime(*v.createTime), 0x01d617a38a6acebfLL);
    EXPECT_EQ(ferro::EncodeDosAttrib(v), blob);
}

TEST(DosAttrib, ReadsThePlainHexForms) {
    ferro::DosAttrib v;
    ASSERT_TRUE(ferro::DecodeDosAttrib("0x22", v));  // Wine: no terminator
    EXPECT_EQ(v.attributes, 0x22u);
    EXPECT_FALSE(v.createTime);
    ASSERT_TRUE(ferro::DecodeDosAttrib(std::string("0x6\0", 4), v));
    EXPECT_EQ(v.attributes, 0x6u);
    EXPECT_FALSE(ferro::DecodeDosAttrib("junk", v));
    EXPECT_FALSE(ferro::DecodeDosAttrib("0x", v));
}

TEST(DosAttrib, RecordWithoutCreatedTimeLeavesItUnset) {
    ferro::DosAttrib in;
    in.attributes = 0x2;
    ferro::DosAttrib out;
    ASSERT_TRUE(ferro::DecodeDosAttrib(ferro::EncodeDosAttrib(in), out));
    EXPECT_EQ(out.attributes, 0x2u);
    EXPECT_FALSE(out.createTime);
}
