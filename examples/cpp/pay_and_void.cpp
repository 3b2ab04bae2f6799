// A host in C++ with the header-only wrapper ZRPA_RIVEVEDEV17_10.hpp: opens a device on the terminal,
// pays 12.34 EUR with the receipt printed by the cash register, voids that payment by its refund
// reference and closes the device. The wrapper frees every text the library returns.
//
//   pay_and_void_cpp [ADDRESS:PORT]     default 127.0.0.1:5017 (p17-emulator --tcp 5017)
//
// Exit code 0 when every command succeeded.
#include <cstdlib>
#include <iostream>
#include <string>

#include "ZRPA_RIVEVEDEV17_10.hpp"

int main(int argc, char** argv) {
    const std::string terminal = argc > 1 ? argv[1] : "127.0.0.1:5017";
    const std::size_t colon = terminal.rfind(':');
    if (colon == std::string::npos ||
        terminal.find_first_not_of("0123456789", colon + 1) != std::string::npos ||
        colon + 1 == terminal.size() || terminal.size() - colon > 6) {
        std::cerr << "usage: " << argv[0] << " [ADDRESS:PORT]\n";
        return 2;
    }
    try {
        zrpa::Options options;
        options.logId = "example-cpp";
        zrpa::Terminal till(
            zrpa::Connection::Tcp(terminal.substr(0, colon), std::stoul(terminal.substr(colon + 1))),
            options);
        till.Open();
        const zrpa::Payment payment = till.Pay("12.34");
        std::cout << "=== PAY " << payment.amount << " " << payment.currency << ", refund reference "
                  << payment.refundReference << "\n"
                  << payment.receiptText << "\n";
        const zrpa::Payment voided = till.Void(payment.refundReference);
        std::cout << "=== VOID\n" << voided.receiptText << "\n";
        till.Close();
    } catch (const zrpa::Error& e) {
        std::cout << e.what() << (e.OutcomeUnknown() ? " (check before charging again)" : "") << "\nFAILED\n";
        return 1;
    }
    std::cout << "all commands succeeded\n";
    return 0;
}
