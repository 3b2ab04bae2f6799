{ The payment-terminal driver ZRPA_RIVEVEDEV17_10 for Delphi and Free Pascal: the declarations of the ten
  exports and of the BSTR functions, and a thin wrapper that makes and frees every BSTR.

  One unit for 32-bit Windows (the product DLL, stdcall), 64-bit Windows and Linux (the C calling
  convention, libZRPA_RIVEVEDEV17_10.so.1). Strings cross as BSTRs: oleaut32's on Windows, the library's
  own on Linux (never Delphi's WideString there, which is no BSTR outside Windows).

    uses ZRPA_RIVEVEDEV17_10;
    Document := ZrpaRun('PAY', @PAY, Request);            // raises EZrpaError when the command fails
    Reference := ZrpaField(Document, 'RefundReference');

  Free Pascal: compile in Delphi mode (the unit sets it) with -Fl<folder of the library> on Linux. }
unit ZRPA_RIVEVEDEV17_10;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}

interface

uses
  SysUtils;

const
  ZrpaDriverName = 'ZRPA_RIVEVEDEV17_10';
  { The leading words of the two failures that decide whether a host may simply try again. }
  ZrpaNotPerformed = 'Not performed:';
  ZrpaOutcomeUnknown = 'Outcome unknown:';
{$IFDEF MSWINDOWS}
  ZrpaLibrary = 'ZRPA_RIVEVEDEV17_10.dll';
  ZrpaBstrLibrary = 'oleaut32.dll';
{$ELSE}
{$IFDEF FPC}
  ZrpaLibrary = 'ZRPA_RIVEVEDEV17_10'; { linked as -lZRPA_RIVEVEDEV17_10 }
{$ELSE}
  ZrpaLibrary = 'libZRPA_RIVEVEDEV17_10.so.1';
{$ENDIF}
  ZrpaBstrLibrary = ZrpaLibrary;
{$ENDIF}

type
  { UTF-16 code units with their byte length in the 4 bytes before the text: made and freed only with
    ZrpaSysAllocStringLen / ZrpaSysFreeString. }
  TBStr = PWideChar;
  PBStr = ^TBStr;
  { Every command: the request stays the caller's; both outputs are set to nil on entry without being
    freed, and each one is a new BSTR for the caller to free. Result 0 (success) or -1. }
  TZrpaCommand = function(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};

function PAY(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function REPRINT(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function OPEN(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function CLOSE(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function GETSTATUS(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function DAYCLOSE(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function GETTOTALS(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
function VERIFYTRAN(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
{ From any thread: ends the waits of the commands on the request's Handle (of every command when it names
  none) and reports their number in Cancelled; each returns within a second, failing with
  ZrpaNotPerformed or ZrpaOutcomeUnknown at the start of its error text. }
function CANCEL(aXml: TBStr; aOutput, aErrorMessage: PBStr): SmallInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;
{ aDriverName is the plain name ZrpaDriverName; the result is a full 32-bit 0 or -1. }
function VERSION(aDriverName: TBStr; aVersion, aErrorMessage: PBStr): LongInt;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaLibrary;

{ The BSTR functions, named apart from Winapi.ActiveX's so both units can be used together. }
function ZrpaSysAllocStringLen(aText: PWideChar; aLength: LongWord): TBStr;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaBstrLibrary name 'SysAllocStringLen';
procedure ZrpaSysFreeString(aText: TBStr);
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaBstrLibrary name 'SysFreeString';
function ZrpaSysStringLen(aText: TBStr): LongWord;
{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external ZrpaBstrLibrary name 'SysStringLen';

type
  { What one command returned. }
  TZrpaOutcome = record
    Code: Integer;
    Document: UnicodeString;
    ErrorText: UnicodeString;
  end;

  { A command that failed; the result document is kept. }
  EZrpaError = class(Exception)
  private
    FCommand, FErrorText, FDocument: UnicodeString;
  public
    constructor Create(const aCommand: UnicodeString; const aOutcome: TZrpaOutcome);
    { The request reached the terminal but no answer came back: the payment may have been approved.
      Check the device log or the terminal's totals before charging again. }
    function OutcomeUnknown: Boolean;
    { The command was cancelled before its request reached the terminal: safe to try again. }
    function NotPerformed: Boolean;
    property Command: UnicodeString read FCommand;
    property ErrorText: UnicodeString read FErrorText;
    property Document: UnicodeString read FDocument;
  end;

{ Runs aCommand with aRequest and frees every BSTR; a failure is an outcome with Code -1, not an exception. }
function ZrpaCall(aCommand: TZrpaCommand; const aRequest: UnicodeString): TZrpaOutcome;
{ Runs aCommand and returns its result document; raises EZrpaError (named aName) when it fails. }
function ZrpaRun(const aName: UnicodeString; aCommand: TZrpaCommand; const aRequest: UnicodeString): UnicodeString;
{ The driver's version text ('Version 1.27 - ...'); raises EZrpaError when it fails. }
function ZrpaVersion: UnicodeString;
{ The unescaped text of the first element aName of a flat result document; '' when absent. }
function ZrpaField(const aDocument, aName: UnicodeString): UnicodeString;
{ aText with the characters XML gives meaning to escaped, for an element's content. }
function ZrpaEscape(const aText: UnicodeString): UnicodeString;
{ A new BSTR holding aText, for the caller to free with ZrpaSysFreeString. }
function ZrpaToBStr(const aText: UnicodeString): TBStr;
{ The text of a BSTR the library returned, which is then freed ('' for nil). }
function ZrpaTakeText(aText: TBStr): UnicodeString;

implementation

constructor EZrpaError.Create(const aCommand: UnicodeString; const aOutcome: TZrpaOutcome);
begin
  inherited Create(string(aCommand + ' failed: ' + aOutcome.ErrorText));
  FCommand := aCommand;
  FErrorText := aOutcome.ErrorText;
  FDocument := aOutcome.Document;
end;

function EZrpaError.OutcomeUnknown: Boolean;
begin
  Result := Copy(FErrorText, 1, Length(ZrpaOutcomeUnknown)) = ZrpaOutcomeUnknown;
end;

function EZrpaError.NotPerformed: Boolean;
begin
  Result := Copy(FErrorText, 1, Length(ZrpaNotPerformed)) = ZrpaNotPerformed;
end;

function ZrpaToBStr(const aText: UnicodeString): TBStr;
begin
  Result := ZrpaSysAllocStringLen(PWideChar(aText), Length(aText));
  if (Result = nil) then
    OutOfMemoryError;
end;

function ZrpaTakeText(aText: TBStr): UnicodeString;
begin
  Result := '';
  if aText <> nil then
  begin
    SetString(Result, aText, ZrpaSysStringLen(aText));
    ZrpaSysFreeString(aText);
  end;
end;

function ZrpaCall(aCommand: TZrpaCommand; const aRequest: UnicodeString): TZrpaOutcome;
var
  Request, Output, ErrorMessage: TBStr;
begin
  Request := ZrpaToBStr(aRequest);
  Output := nil; { passed empty: the library does not free what they hold }
  ErrorMessage := nil;
  try
    Result.Code := aCommand(Request, @Output, @ErrorMessage);
  finally
    ZrpaSysFreeString(Request);
  end;
  Result.Document := ZrpaTakeText(Output);
  Result.ErrorText := ZrpaTakeText(ErrorMessage);
end;

function ZrpaRun(const aName: UnicodeString; aCommand: TZrpaCommand; const aRequest: UnicodeString): UnicodeString;
var
  Outcome: TZrpaOutcome;
begin
  Outcome := ZrpaCall(aCommand, aRequest);
  if Outcome.Code <> 0 then
    raise EZrpaError.Create(aName, Outcome);
  Result := Outcome.Document;
end;

function ZrpaVersion: UnicodeString;
var
  Name, Text, ErrorMessage: TBStr;
  Outcome: TZrpaOutcome;
begin
  Name := ZrpaToBStr(ZrpaDriverName);
  Text := nil;
  ErrorMessage := nil;
  try
    Outcome.Code := VERSION(Name, @Text, @ErrorMessage);
  finally
    ZrpaSysFreeString(Name);
  end;
  Result := ZrpaTakeText(Text);
  Outcome.ErrorText := ZrpaTakeText(ErrorMessage);
  if Outcome.Code <> 0 then
    raise EZrpaError.Create('VERSION', Outcome);
end;

function ZrpaField(const aDocument, aName: UnicodeString): UnicodeString;
var
  Start, Stop: Integer;
  Raw: UnicodeString;
begin
  Result := '';
  Start := Pos('<' + aName + '>', aDocument);
  if Start = 0 then
    Exit;
  Inc(Start, Length(aName) + 2);
  Stop := Pos('</' + aName + '>', Copy(aDocument, Start, MaxInt));
  if Stop = 0 then
    Exit;
  Raw := Copy(aDocument, Start, Stop - 1);
  Raw := StringReplace(Raw, '&lt;', '<', [rfReplaceAll]);
  Raw := StringReplace(Raw, '&gt;', '>', [rfReplaceAll]);
  Raw := StringReplace(Raw, '&quot;', '"', [rfReplaceAll]);
  Raw := StringReplace(Raw, '&apos;', '''', [rfReplaceAll]);
  Result := StringReplace(Raw, '&amp;', '&', [rfReplaceAll]); { last: "&amp;lt;" stays "&lt;" }
end;

function ZrpaEscape(const aText: UnicodeString): UnicodeString;
begin
  Result := StringReplace(aText, '&', '&amp;', [rfReplaceAll]); { first: the others add ampersands }
  Result := StringReplace(Result, '<', '&lt;', [rfReplaceAll]);
  Result := StringReplace(Result, '>', '&gt;', [rfReplaceAll]);
  Result := StringReplace(Result, '"', '&quot;', [rfReplaceAll]);
end;

end.
