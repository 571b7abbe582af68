#include "report/UninstallReport.h"

#include <string>
#include <vector>

#include "record/RemovalRecord.h"
#include "report/SoapClient.h"
#include "report/SoapError.h"

namespace ta {
namespace {

constexpr unsigned long kReportLimitMs = 5000;

// What became of a report that did not go through, in the words the log gives it.
std::wstring FailureWords(const AppError& error) {
    const auto* soap = dynamic_cast<const report::SoapError*>(&error);
    const bool refused = soap && soap->failure() == report::SoapFailure::Refused;
    return (refused ? L"refused: " : L"not sent: ") + error.description();
}

}  // namespace

void SendUninstallReport(const RemovalRun& run) {
    const bool noPid = run.PidSetting == L"Error" || run.PidSetting.empty();
    if (noPid || run.MServerSetting.empty() || run.MServerSetting == L"Error") {
        Record(ItemKind::Report, run.MServerSetting, Outcome::Absent, 0, KeptBy::None,
               noPid ? L"not sent: no installation id" : L"not sent: no server setting");
        return;
    }

    // Whatever becomes of it is the report's own outcome: it never stands for the removal's.
    try {
        // One limit for the report as a whole: the description and the call share it.
        report::SoapClient client{report::Deadline(kReportLimitMs)};
        client.Initialize(run.MServerSetting + L"/webservice5/Ta_Login.asmx?wsdl", L"", L"", L"");
        client.SetClientProperty(L"ServerHTTPRequest", true);
        std::vector<std::wstring> arguments(10);
        arguments[0] = run.PidSetting;
        arguments[8] = L"30";
        client.Call(L"Ta_Logon", arguments);  // the answer is not used
    } catch (const AppError& error) {
        Record(ItemKind::Report, run.MServerSetting, Outcome::Failed, 0, KeptBy::None, FailureWords(error));
        return;
    }
    Record(ItemKind::Report, run.MServerSetting, Outcome::Done, 0, KeptBy::None, L"sent");
}

}  // namespace ta
