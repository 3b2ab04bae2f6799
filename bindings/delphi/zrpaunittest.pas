{ Checks the unit ZRPA_RIVEVEDEV17_10 against a terminal (the emulator, started with --void-check): a
  payment, its void by refund reference, a refused amount raising EZrpaError with the result document, and
  a day close, on one opened device; then the unit's document helpers.

    fpc -Mdelphi -Fl<folder of the library> zrpaunittest.pas && ./zrpaunittest ADDRESS:PORT

  Exit code 0 when every check passed. }
program ZrpaUnitTest;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}

uses
  SysUtils, ZRPA_RIVEVEDEV17_10;

var
  Failures: Integer = 0;

procedure Check(aPassed: Boolean; const aWhat: string);
begin
  if not aPassed then
  begin
    WriteLn('FAILED: ', aWhat);
    Inc(Failures);
  end;
end;

var
  Terminal, Envelope, Handle, Period, Document, Reference: UnicodeString;
  Colon: Integer;
begin
  Terminal := UnicodeString(ParamStr(1));
  Colon := Pos(':', Terminal);
  Envelope := '<Driver>' + ZrpaDriverName + '</Driver><LogId>delphi-unit</LogId><Connection><Type>TCP</Type>' +
    '<Address>' + Copy(Terminal, 1, Colon - 1) + '</Address><Port>' + Copy(Terminal, Colon + 1, 10) +
    '</Port><ConnectTimeout>3000</ConnectTimeout></Connection>';
  Period := '<TillCode>1</TillCode><PrintLocation>ECR</PrintLocation>';
  try
    Check(Pos('Version ', ZrpaVersion) = 1, 'VERSION');
    Handle := ZrpaField(ZrpaRun('OPEN', OPEN, '<Request>' + Envelope + '</Request>'), 'Handle');
    Check(Handle <> '', 'OPEN gives a handle');
    Envelope := '<Handle>' + Handle + '</Handle>' + Envelope;

    Document := ZrpaRun('PAY', PAY, '<Request>' + Envelope + '<Payment><Action>PAY</Action><Amount>12.34</Amount>' +
      '<Currency>EUR</Currency>' + Period + '<Reference>' + ZrpaEscape('R&1') + '</Reference></Payment></Request>');
    Reference := ZrpaField(Document, 'RefundReference');
    Check(ZrpaField(Document, 'PaymentAmount') = '12.34', 'PAY amount: ' + string(Document));
    Check(Length(Reference) = 34, 'PAY refund reference');
    Document := ZrpaRun('VOID', PAY, '<Request>' + Envelope + '<Payment><Action>VOID</Action><Currency>EUR</Currency>' +
      Period + '<RefundReference><PaymentId>' + Reference + '</PaymentId></RefundReference></Payment></Request>');
    Check(Pos('ANNULL', ZrpaField(Document, 'ReceiptText')) > 0, 'VOID receipt');

    try
      ZrpaRun('PAY', PAY, '<Request>' + Envelope + '<Payment><Action>PAY</Action><Amount>1000000</Amount>' +
        '<Currency>EUR</Currency>' + Period + '</Payment></Request>');
      Check(False, 'an amount out of range was paid');
    except
      on E: EZrpaError do
      begin
        Check(Pos('Amount 1000000 invalid', E.ErrorText) = 1, 'the refusal text: ' + string(E.ErrorText));
        Check(ZrpaField(E.Document, 'Error') = 'True', 'the refusal keeps its document');
        Check(not E.OutcomeUnknown, 'a refusal is not an unknown outcome');
      end;
    end;

    Document := ZrpaRun('DAYCLOSE', DAYCLOSE, '<Request>' + Envelope + '<DayClose>' + Period + '</DayClose></Request>');
    Check(ZrpaField(Document, 'TotalAmount') <> '', 'DAYCLOSE totals: ' + string(Document));
    { Nothing runs on the device now: CANCEL reaches no command. }
    Document := ZrpaRun('CANCEL', CANCEL, '<Cancel><Handle>' + Handle + '</Handle></Cancel>');
    Check(ZrpaField(Document, 'Cancelled') = '0', 'CANCEL with nothing running: ' + string(Document));
    ZrpaRun('CLOSE', CLOSE, '<Request>' + Envelope + '</Request>');
  except
    on E: Exception do
      Check(False, E.Message);
  end;

  Check(ZrpaField('<A>x &amp;lt; &lt;y&gt; &quot;&apos;</A>', 'A') = 'x &lt; <y> "''', 'ZrpaField unescapes once');
  Check(ZrpaField('<A>1</A>', 'B') = '', 'ZrpaField of an absent element');
  Check(ZrpaField('<A>unclosed', 'A') = '', 'ZrpaField of an unclosed element');
  Check(ZrpaEscape('a<b>&"c') = 'a&lt;b&gt;&amp;&quot;c', 'ZrpaEscape');
  Check(ZrpaTakeText(ZrpaToBStr('Caff' + WideChar($E8) + ' ' + WideChar($20AC))) =
    'Caff' + WideChar($E8) + ' ' + WideChar($20AC), 'BSTR round trip');

  if Failures > 0 then
  begin
    WriteLn(Failures, ' checks FAILED');
    Halt(1);
  end;
  WriteLn('Delphi unit: payment, void, refusal, day close and cancel passed');
end.
