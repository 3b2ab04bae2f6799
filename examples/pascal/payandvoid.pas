{ A host in Object Pascal (Free Pascal or Delphi): the declarations of the ten exports, then a payment
  of 12.34 EUR and its void by refund reference.

    fpc -Fl<folder of the library> payandvoid.pas && ./payandvoid [ADDRESS:PORT]   default 127.0.0.1:5017

  Windows: the 32-bit DLL, stdcall, BSTRs from oleaut32. Linux: libZRPA_RIVEVEDEV17_10.so, the C calling
  convention, BSTRs from the library's own SysAllocStringLen / SysFreeString / SysStringLen. }
program PayAndVoid;

{$mode objfpc}{$H+}
{$ifdef windows}{$calling stdcall}{$else}{$calling cdecl}{$endif}

uses
  SysUtils;

const
{$ifdef windows}
  ZrpaLibrary = 'ZRPA_RIVEVEDEV17_10.dll';
  BstrLibrary = 'oleaut32.dll';
{$else}
  ZrpaLibrary = 'ZRPA_RIVEVEDEV17_10';
  BstrLibrary = ZrpaLibrary;
{$endif}

type
  { UTF-16 code units with their byte length in the 4 bytes before the text. Not a Pascal string:
    made and freed only through the three functions below. }
  TBStr = PWideChar;
  PBStr = ^TBStr;

{ Every command: the request stays the caller's; both outputs are set to nil on entry without being
  freed, and each output is a new BSTR that the caller frees with SysFreeString. Result 0 or -1. }
function PAY(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function REPRINT(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function OPEN(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function CLOSE(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function GETSTATUS(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function DAYCLOSE(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function GETTOTALS(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
function VERIFYTRAN(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
{ From any thread: ends the waits of the commands on the request's Handle (of every command when it names
  none); each returns within a second with 'Not performed: ...' or 'Outcome unknown: ...'. }
function CANCEL(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt; external ZrpaLibrary;
{ aDriverName is the plain name 'ZRPA_RIVEVEDEV17_10'; the result is a full 32-bit 0 or -1. }
function VERSION(aDriverName: TBStr; aVersion, aErrorMessage: PBStr): LongInt; external ZrpaLibrary;

function SysAllocStringLen(aText: PWideChar; aLength: LongWord): TBStr; external BstrLibrary;
procedure SysFreeString(aText: TBStr); external BstrLibrary;
function SysStringLen(aText: TBStr): LongWord; external BstrLibrary;

type
  TCommand = function(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;

var
  Failed: Boolean = False;

function ToBStr(const aText: UnicodeString): TBStr;
begin
  Result := SysAllocStringLen(PWideChar(aText), Length(aText));
end;

{ The text of a BSTR from the library, which is then freed. }
function TakeText(aText: TBStr): UnicodeString;
begin
  SetString(Result, aText, SysStringLen(aText));
  SysFreeString(aText);
end;

function Element(const aDocument, aName: UnicodeString): UnicodeString;
var
  Start, Stop: Integer;
begin
  Result := '';
  Start := Pos('<' + aName + '>', aDocument);
  Stop := Pos('</' + aName + '>', aDocument);
  if (Start > 0) and (Stop > Start) then
  begin
    Inc(Start, Length(aName) + 2);
    Result := Copy(aDocument, Start, Stop - Start);
  end;
end;

function Run(const aTitle: string; aCommand: TCommand; const aRequest: UnicodeString): UnicodeString;
var
  Request, Output, ErrorMessage: TBStr;
  Code: SmallInt;
  ErrorText: UnicodeString;
begin
  Request := ToBStr(aRequest);
  Output := nil; { passed empty }
  ErrorMessage := nil;
  Code := aCommand(Request, @Output, @ErrorMessage);
  SysFreeString(Request);
  Result := TakeText(Output);
  ErrorText := TakeText(ErrorMessage);
  WriteLn('=== ', aTitle, ': result ', Code, ' ', UTF8Encode(ErrorText));
  WriteLn(UTF8Encode(Result));
  WriteLn;
  if Code <> 0 then
    Failed := True;
end;

var
  Terminal, Envelope, Handle, Payment: UnicodeString;
  Name, VersionText, VersionError: TBStr;
  Colon: Integer;
begin
  if ParamCount > 0 then
    Terminal := UnicodeString(ParamStr(1))
  else
    Terminal := '127.0.0.1:5017';
  Colon := Pos(':', Terminal);
  Envelope := '<Driver>ZRPA_RIVEVEDEV17_10</Driver><LogId>example-pas</LogId><Connection><Type>TCP</Type>' +
    '<Address>' + Copy(Terminal, 1, Colon - 1) + '</Address><Port>' + Copy(Terminal, Colon + 1, 10) +
    '</Port><ConnectTimeout>3000</ConnectTimeout></Connection>';

  Name := ToBStr('ZRPA_RIVEVEDEV17_10');
  VersionText := nil;
  VersionError := nil;
  if VERSION(Name, @VersionText, @VersionError) <> 0 then
    Failed := True;
  SysFreeString(Name);
  WriteLn(UTF8Encode(TakeText(VersionText)), UTF8Encode(TakeText(VersionError)));

  Handle := Element(Run('OPEN', @OPEN, '<Request>' + Envelope + '</Request>'), 'Handle');
  Envelope := '<Handle>' + Handle + '</Handle>' + Envelope;
  Payment := Run('PAY 12.34 EUR', @PAY, '<Request>' + Envelope + '<Payment><Action>PAY</Action>' +
    '<Amount>12.34</Amount><Currency>EUR</Currency><TillCode>1</TillCode><PrintLocation>ECR</PrintLocation>' +
    '</Payment></Request>');
  Run('VOID by refund reference', @PAY, '<Request>' + Envelope + '<Payment><Action>VOID</Action>' +
    '<Currency>EUR</Currency><TillCode>1</TillCode><PrintLocation>ECR</PrintLocation><RefundReference>' +
    '<PaymentId>' + Element(Payment, 'RefundReference') + '</PaymentId></RefundReference></Payment></Request>');
  { Nothing runs on the handle now: CANCEL succeeds and reports Cancelled 0. A till calls it from
    another thread (a Cancel button) while a PAY waits. }
  Run('CANCEL (nothing running)', @CANCEL, '<Request>' + Envelope + '</Request>');
  Run('CLOSE', @CLOSE, '<Request>' + Envelope + '</Request>');

  if Failed then
  begin
    WriteLn('FAILED');
    Halt(1);
  end;
  WriteLn('all commands succeeded');
end.
