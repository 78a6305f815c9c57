// Connection texts of the compaction engine.
#include "platform/connection_text.h"

#include <gtest/gtest.h>

#include "platform/jet_engine.h"
#include "platform/runtime_error.h"

namespace dbrepair {
namespace {

TEST(ConnectionTextTest, MadeTextsParseBack) {
  for (const std::string path : {"/data/shop.mdb", "/odd;name/sh=op.mdb", "relative.mdb", " spaced .mdb"}) {
    ConnectionText parsed = ParseConnectionText(MakeConnectionText(path));
    EXPECT_EQ(parsed.provider, "Microsoft.Jet.OLEDB.4.0") << path;
    EXPECT_EQ(parsed.dataSource, path);
  }
  EXPECT_EQ(MakeConnectionText("/d/temp.mdb"), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/temp.mdb");
}

TEST(ConnectionTextTest, KeysIgnoreCaseAndBlanksAndValuesMayBeQuoted) {
  ConnectionText parsed = ParseConnectionText(" data source = \"/d/a b.mdb\" ;PROVIDER=Microsoft.Jet.OLEDB.4.0;");
  EXPECT_EQ(parsed.provider, "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(parsed.dataSource, "/d/a b.mdb");
}

TEST(ConnectionTextTest, MalformedTextsAreRefused) {
  for (const std::string text : {"", "Data Source=/d/x.mdb", "Provider=Microsoft.Jet.OLEDB.4.0",
                                 "Provider=a;Provider=b;Data Source=x", "junk;Provider=a;Data Source=x",
                                 "Password=x;Provider=a;Data Source=x"}) {
    try {
      ParseConnectionText(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), kErrUnspecifiedFailure) << text;
    }
  }
}

}  // namespace
}  // namespace dbrepair
