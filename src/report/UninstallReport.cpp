#include "report/UninstallReport.h"

#include <string>
#include <vector>

#include "platform/ContinueOnError.h"
#include "platform/ProgramValues.h"
#include "report/SoapClient.h"

namespace ta {

void SendUninstallReport() {
    if (PidSetting == L"Error" || PidSetting.empty() || MServerSetting.empty() || MServerSetting == L"Error") {
        Record(ItemKind::Report, MServerSetting, Outcome::Absent);
        return;
    }

    const bool sent = Attempt(L"SendUninstallReport", [] {
        report::SoapClient client;
        client.Initialize(MServerSetting + L"/webservice5/Ta_Login.asmx?wsdl", L"", L"", L"");
        client.SetClientProperty(L"ServerHTTPRequest", true);
        client.SetConnectorProperty(L"Timeout", 5000L);
        std::vector<std::wstring> arguments(10);
        arguments[0] = PidSetting;
        arguments[8] = L"30";
        client.Call(L"Ta_Logon", arguments);  // the answer is not used
    });
    if (sent) Record(ItemKind::Report, MServerSetting, Outcome::Done);
}

}  // namespace ta
