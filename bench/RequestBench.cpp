// Reading a typical PAY request: the whole Deserialize, the adapter's parse alone, and the floor, a bare
// pugixml parse of the same UTF-16 text with the same options; and a request with many parameters.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include "payment/Payment.h"
#include "payment/Xml.h"

namespace {

const Text& TypicalPayRequest() {
    static const Text kXml = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                             u"<ReceiptPrinterManager Version=\"1.0\">\r\n"
                             u"  <Type>Payment</Type>\r\n"
                             u"  <Driver>ZRPA_RIVEVEDEV17_10</Driver>\r\n"
                             u"  <Method>Pay</Method>\r\n"
                             u"  <LogId>Till01</LogId>\r\n"
                             u"  <Connection>\r\n"
                             u"    <Type>TCP</Type>\r\n"
                             u"    <Address>192.168.1.50</Address>\r\n"
                             u"    <Port>10000</Port>\r\n"
                             u"    <ConnectTimeout>3000</ConnectTimeout>\r\n"
                             u"    <ReadTimeout>30000</ReadTimeout>\r\n"
                             u"  </Connection>\r\n"
                             u"  <Parameters>\r\n"
                             u"    <HexLog>True</HexLog>\r\n"
                             u"  </Parameters>\r\n"
                             u"  <Payment>\r\n"
                             u"    <Action>PAY</Action>\r\n"
                             u"    <Amount>12.50</Amount>\r\n"
                             u"    <Currency>EUR</Currency>\r\n"
                             u"    <PrintLocation>ECR</PrintLocation>\r\n"
                             u"    <TillCode>01</TillCode>\r\n"
                             u"    <StoreCode>0042</StoreCode>\r\n"
                             u"    <Reference>R-2024-000123</Reference>\r\n"
                             u"    <OperatorId>7</OperatorId>\r\n"
                             u"    <ReceiptColCount>40</ReceiptColCount>\r\n"
                             u"  </Payment>\r\n"
                             u"</ReceiptPrinterManager>";
    return kXml;
}

void BM_BarePugixmlParse(benchmark::State& state) {
    const Text& xml = TypicalPayRequest();
    constexpr unsigned kOptions =
        pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_comments | pugi::parse_pi;
    for (auto _ : state) {
        pugi::xml_document doc;
        const auto result =
            doc.load_buffer(xml.data(), xml.size() * sizeof(char16_t), kOptions, pugi::encoding_utf16);
        benchmark::DoNotOptimize(result.status);
    }
}
BENCHMARK(BM_BarePugixmlParse);

void BM_AdapterParse(benchmark::State& state) {
    const Text& xml = TypicalPayRequest();
    for (auto _ : state) {
        const auto doc = XmlDocument::Parse(xml);
        benchmark::DoNotOptimize(doc->Root());
    }
}
BENCHMARK(BM_AdapterParse);

void BM_DeserializePay(benchmark::State& state) {
    const Text& xml = TypicalPayRequest();
    for (auto _ : state) {
        kPaymentHandler handler;
        handler.Deserialize(xml, zrPaymentHandlerDocumentTypes{zrPaymentHandlerDocumentType::dt_Pay});
        benchmark::DoNotOptimize(handler.fPaymentReceipt->fAmount);
    }
}
BENCHMARK(BM_DeserializePay);

// A request with many parameters: the reading must stay linear in their number (a lookup by name per
// parameter made it quadratic).
void BM_DeserializeManyParameters(benchmark::State& state) {
    Text xml = u"<ReceiptPrinterManager><Type>Payment</Type><Driver>ZRPA_RIVEVEDEV17_10</Driver>"
               u"<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>1</Port></Connection>"
               u"<Parameters>";
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        xml += u"<P" + IntToText(i) + u">" + IntToText(i) + u"</P" + IntToText(i) + u">";
    }
    xml += u"</Parameters></ReceiptPrinterManager>";
    for (auto _ : state) {
        kPaymentHandler handler;
        handler.Deserialize(xml, zrPaymentHandlerDocumentTypes{});
        benchmark::DoNotOptimize(handler.fParameters.size());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeserializeManyParameters)->RangeMultiplier(10)->Range(100, 100000)->Complexity();

} // namespace
