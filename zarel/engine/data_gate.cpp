// The data gate: every query of the engine passes through FetchRecordset,
// which refuses all data access unless ActivePort is 80 and otherwise takes
// the recordset from the data access object (DAMode 1) or from the owner's
// ProvideRecordset handler (DAMode 2).
#include "zarel/data/dal_inside.h"
#include "zarel/engine/clsdb_impl.h"

namespace zarel {

namespace {

constexpr std::int16_t kRequiredPort = 80;
constexpr std::int16_t kOwnDataAccess = 1;
constexpr std::int16_t kHostDataAccess = 2;

}  // namespace

// Fills recordset with the query's rows and answers whether the caller may
// read it. The port test comes first and ends the call; then the mode. A
// failure raised by the owner's handler travels on to the caller's handler.
bool clsDB::Impl::FetchRecordset(const std::string& query, std::shared_ptr<Recordset>& recordset) {
  if (active_port_ != kRequiredPort) {
    if (talking_) ZarelMessage("Please set ActivePort to 80");
    return false;
  }
  bool result = false;
  bool read_by_dal = false;
  switch (da_mode_) {
    case kOwnDataAccess:
      if (diagnostics_ != nullptr) diagnostics_->QueryStarting(query);
      result = dal_.ReadRecordset(query, recordset);
      read_by_dal = true;
      break;
    case kHostDataAccess:
      // The variable is cleared first, so that a handler that assigns
      // nothing is seen as one, instead of the caller reading the previous
      // query's rows as if they answered this one.
      recordset.reset();
      RaiseProvideRecordset(query, recordset);
      result = recordset != nullptr;
      break;
    default:
      // Any other mode gets no data; the variable is left as it is.
      break;
  }
  if (!result && talking_) ZarelMessage("Unable to Access Data for the SQL : " + query);
  if (read_by_dal && diagnostics_ != nullptr) {
    diagnostics_->QueryFinished(query, result, result ? std::string() : DALInside::LastFailure(dal_));
  }
  return result;
}

}  // namespace zarel
