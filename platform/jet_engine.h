// The compaction engine as the handlers use it: one operation, writing a
// compacted copy of a database through the Jet 4.0 provider. Our Jet engine
// stands behind it.
#pragma once

#include <memory>
#include <string>

namespace dbrepair {

// The number of every failure the compaction engine raises.
inline constexpr int kErrUnspecifiedFailure = -2147467259;

class JetEngine {
 public:
  virtual ~JetEngine() = default;
  // Writes a compacted copy of the database named by the source connection
  // text as a new file named by the destination connection text.
  virtual void CompactDatabase(const std::string& source, const std::string& destination) = 0;
};

// JetEngine over our Jet engine: both texts must name the
// "Microsoft.Jet.OLEDB.4.0" provider; the destination must not exist; the
// copy keeps the source's format (a Jet 3 file stays Jet 3). Every failure
// raises -2147467259 with the engine's description.
class JetStorageJetEngine : public JetEngine {
 public:
  void CompactDatabase(const std::string& source, const std::string& destination) override;
};

std::unique_ptr<JetEngine> NewJetEngine();

}  // namespace dbrepair
