unit KorvoComm;

{ korvocomm for Delphi and Free Pascal: the exports of the korvocomm shared
  library, declared as korvocomm.h declares them and loaded at run time, and
  TKorvoPrinter, a connection whose failures are exceptions.

  Texts of the exports are NUL-terminated Windows-1250 bytes; output texts go
  to a caller buffer with its size, copied like strncpy: the full length is
  returned, at most the size is written, not terminated when cut, size 0 asks
  for the length. TKorvoPrinter takes and gives UnicodeString and converts. }

{$IFDEF FPC}
  {$MODE DELPHI}
  {$H+}
{$ENDIF}

interface

uses
  {$IFDEF FPC}
    {$IFDEF UNIX}cwstring,{$ENDIF} // the code page conversions on Unix
    dynlibs,
  {$ELSE}
    {$IFDEF MSWINDOWS}Winapi.Windows,{$ENDIF}
  {$ENDIF}
  SysUtils;

const
  KORVO_LANGUAGE_ENGLISH = 2057;
  KORVO_LANGUAGE_SLOVAK = 1051;

  KORVO_CFG_NEXT_CMD_TIME = 'next_cmd_time';
  KORVO_CFG_LINK_TRANSFER_TIME = 'link_transfer_time';
  KORVO_CFG_EXTEND_RESPONSE_TIME = 'extend_response_time';
  KORVO_CFG_DNS_CONNECT_MODE = 'dns_connect_mode';

  KORVO_ITEM_SALE = 1;
  KORVO_ITEM_REFUND = 3;
  KORVO_ITEM_CORRECTION = 5;
  KORVO_ITEM_REFUND_CORRECTION = 7;

type
  PKorvoText = PAnsiChar;   // const char*: a NUL-terminated Windows-1250 text, or nil
  PKorvoBuffer = PAnsiChar; // char*: the caller's output buffer

{ The exports, nil until LoadKorvoComm has run: __stdcall on Windows (which is
  the only convention on 64-bit Windows), the C convention elsewhere. }
var
  ConnectUSB: function(portName: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  ConnectRS232: function(portName: PKorvoText; speed, deviceAddress: Integer): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  ConnectTCP: function(hostAddress: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  Disconnect: function(handle: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetLastComError: function(handle: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SetConfigValue: function(handle: Integer; key, value: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetConfigValue: function(handle: Integer; key: PKorvoText; buffer: PKorvoBuffer;
    bufferSize: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SendCommand: function(handle: Integer; commandName, parameters: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetLastCommandResponse: function(handle: Integer; buffer: PKorvoBuffer; bufferSize: Integer): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetLastCommandName: function(handle: Integer; buffer: PKorvoBuffer; bufferSize: Integer): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetCommandReqestHead: function(commandName: PKorvoText; buffer: PKorvoBuffer; bufferSize: Integer): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetCommandResponseHead: function(commandName: PKorvoText; buffer: PKorvoBuffer;
    bufferSize: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetErrorText: function(handle, language, code: Integer; buffer: PKorvoBuffer; bufferSize: Integer): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetCommandErrorText: function(language: Integer; commandName: PKorvoText; code: Integer;
    buffer: PKorvoBuffer; bufferSize: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  GetErrorName: function(code: Integer; buffer: PKorvoBuffer; bufferSize: Integer): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  Abort: function(handle: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SendTextLogo: function(handle, lineType: Integer; line1, line2, line3, line4, line5, line6, line7, line8,
    line9: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  BeginReceipt: function(handle, fiscalReceiptType, fiscalReceiptSettings: Integer;
    transactionID: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  EndFiscalReceipt: function(handle: Integer; separation: Byte): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  BeginNonFiscal: function(handle: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PrintNormal: function(handle: Integer; data: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  EndNonFiscal: function(handle: Integer; separation: Byte): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  BeginTraining: function(handle: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  EndTraining: function(handle: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SaleItemTxt: function(handle, itemType: Integer; description, price, quantity: PKorvoText; vatID,
    specialRegulation: Integer; unitPrice, unitName, refReceiptID, preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SaleItemNum: function(handle, itemType: Integer; description: PKorvoText; price, quantity, vatID,
    specialRegulation, unitPrice: Integer; unitName, refReceiptID, preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  ItemAdjustTxt: function(handle, adjustmentType: Integer; description, amount: PKorvoText; vatID,
    specialRegulation: Integer; preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  ItemAdjustNum: function(handle, adjustmentType: Integer; description: PKorvoText; amount, vatID,
    specialRegulation: Integer; preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PackAdjustTxt: function(handle, adjustmentType: Integer; description, vatAmount1, vatAmount2, vatAmount3,
    vatAmount4, vatAmount5, vatAmount6, vatAmount7, preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PackAdjustNum: function(handle, adjustmentType: Integer; description: PKorvoText; vatAmount1, vatAmount2,
    vatAmount3, vatAmount4, vatAmount5, vatAmount6, vatAmount7: Integer; preLine,
    postLine: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SinglePurposeVoucherTxt: function(handle: Integer; voucherID, amount: PKorvoText; vatID,
    specialRegulation: Integer; preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  SinglePurposeVoucherNum: function(handle: Integer; voucherID: PKorvoText; amount, vatID,
    specialRegulation: Integer; preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PrintSubtotalTxt: function(handle: Integer; amount, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PrintSubtotalNum: function(handle, amount: Integer; postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentTxt: function(handle: Integer; total, payment, paymentID, preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentNum: function(handle, total, payment: Integer; paymentID, preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentIdTxt: function(handle: Integer; total, payment: PKorvoText; paymentID: Integer; preLine,
    postLine: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentIdNum: function(handle, total, payment, paymentID: Integer; preLine, postLine: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentChangeTxt: function(handle: Integer; total, change, paymentID, preLine,
    postLine: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentChangeNum: function(handle, total, change: Integer; paymentID, preLine,
    postLine: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentChangeIdTxt: function(handle: Integer; total, change: PKorvoText; paymentID: Integer; preLine,
    postLine: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PaymentChangeIdNum: function(handle, total, change, paymentID: Integer; preLine,
    postLine: PKorvoText): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  PrintRecMessage: function(handle, messageType: Integer; message: PKorvoText): Integer;
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};

{ Loads the library: Path, or else the file the environment variable
  KORVOCOMM_LIBRARY names, or else korvocomm.dll (Windows) or
  libkorvocomm.so.1, then libkorvocomm.so, through the system's search.
  Raises EKorvoLoadError. TKorvoPrinter and the functions below call it. }
procedure LoadKorvoComm(const Path: string = '');
function KorvoCommLoaded: Boolean;

type
  EKorvoLoadError = class(Exception);

  { A nonzero result code, with its name (EFP_BAD_VAT; empty when the library
    knows none) and its English and Slovak texts, specific to the failed
    command where the library has such texts. }
  EKorvoError = class(Exception)
  private
    FCode: Integer;
    FName: string;
    FEnglishText: UnicodeString;
    FSlovakText: UnicodeString;
    FCommand: UnicodeString;
  public
    constructor Create(ACode: Integer; const AName: string; const AEnglishText, ASlovakText,
      ACommand: UnicodeString);
    { The exception of a nonzero code; Handle names the connection whose last
      command the code belongs to (0 for none). }
    class function ForCode(ACode, Handle: Integer; const ACommand: UnicodeString = ''): EKorvoError;
    property Code: Integer read FCode;
    property Name: string read FName;
    property EnglishText: UnicodeString read FEnglishText;
    property SlovakText: UnicodeString read FSlovakText;
    property Command: UnicodeString read FCommand;
  end;

  { The printer refused a command: a positive result code. }
  EKorvoPrinterError = class(EKorvoError);
  { The library failed on the computer's side (a negative result code):
    arguments, connection, time-outs, abort. }
  EKorvoLibraryError = class(EKorvoError);

  TKorvoTexts = array of UnicodeString;

  { The values of a response by the names of the command's response head;
    Fields holds every value in order. }
  TKorvoResponse = record
    Command: UnicodeString;
    Names: TKorvoTexts;
    Fields: TKorvoTexts;
    function Has(const Name: UnicodeString): Boolean;
    { The value named Name; EArgumentException when there is none. }
    function Value(const Name: UnicodeString): UnicodeString;
  end;

  { A connection to a printer. Destroy disconnects without raising. }
  TKorvoPrinter = class
  private
    FHandle: Integer;
    procedure Check(Code: Integer; const Command: UnicodeString = '');
    procedure Logo(LineType: Integer; const Lines: array of UnicodeString);
  public
    { "host", "host:port", "[v6]:port"; port 49999 by default. }
    constructor ConnectTCP(const HostAddress: UnicodeString);
    { A USB virtual COM port: 'COM3'. }
    constructor ConnectUSB(const PortName: UnicodeString);
    { Speed 9600 or more, device address 2 to 255. }
    constructor ConnectRS232(const PortName: UnicodeString; Speed, DeviceAddress: Integer);
    destructor Destroy; override;
    { Ends the connection; raises when the printer or the line failed on the
      way, after which the connection is gone all the same. }
    procedure Disconnect;
    { Ends the command this connection waits for with
      APP_COMMUNICATION_ABORTED, and every later one: disconnect afterwards.
      May be called from another thread. }
    procedure Abort;

    { Sends a command by its long or short name; Params in the order of
      KorvoRequestHead(Command). }
    function Send(const Command: UnicodeString): TKorvoResponse; overload;
    function Send(const Command: UnicodeString; const Params: array of UnicodeString): TKorvoResponse; overload;
    { The last response, named by the head of Command (by default the last command's). }
    function LastResponse(const Command: UnicodeString = ''): TKorvoResponse;
    function LastCommandName: UnicodeString;
    { The connection's last status (0 after any well-formed response). }
    function LastError: Integer;
    function GetConfig(const Key: string): Integer;
    procedure SetConfig(const Key: string; Value: Integer);

    { Up to nine lines; the rest become empty. }
    procedure SetHeaderLines(const Lines: array of UnicodeString);
    procedure SetTrailerLines(const Lines: array of UnicodeString);
    { Type 1 sale, 2 refund, 3 invoice payment, 4 cash deposit, 5 cash withdrawal. }
    procedure BeginReceipt(ReceiptType: Integer = 1; Settings: Integer = 0;
      const TransactionID: UnicodeString = '');
    procedure EndReceipt(Separation: Boolean = False);
    procedure BeginNonFiscal;
    procedure PrintNormal(const Text: UnicodeString);
    procedure EndNonFiscal(Separation: Boolean = False);
    procedure BeginTraining;
    procedure EndTraining;

    { Amounts are Currency with at most three decimals. VAT ids 1 to 7; a
      negative special regulation is left out, and so is a UnitPrice of 0. }
    procedure SaleItem(const Description: UnicodeString; Price, Quantity: Currency; VatID: Integer;
      ItemType: Integer = KORVO_ITEM_SALE; SpecialRegulation: Integer = -1; UnitPrice: Currency = 0;
      const UnitName: UnicodeString = ''; const RefReceiptID: UnicodeString = '';
      const PreLine: UnicodeString = ''; const PostLine: UnicodeString = '');
    { Adjusts the last item: type 1 or 2. }
    procedure ItemAdjustment(AdjustmentType: Integer; const Description: UnicodeString; Amount: Currency;
      VatID: Integer; SpecialRegulation: Integer = -1; const PreLine: UnicodeString = '';
      const PostLine: UnicodeString = '');
    { VatAmounts[0] for VAT id 1 up to VatAmounts[6] for 7; 0 leaves a rate out. }
    procedure PackageAdjustment(AdjustmentType: Integer; const Description: UnicodeString;
      const VatAmounts: array of Currency; const PreLine: UnicodeString = ''; const PostLine: UnicodeString = '');
    procedure Voucher(const VoucherID: UnicodeString; Amount: Currency; VatID: Integer;
      SpecialRegulation: Integer = -1; const PreLine: UnicodeString = ''; const PostLine: UnicodeString = '');
    { Without an amount the subtotal is not checked; a different amount voids the receipt. }
    procedure Subtotal; overload;
    procedure Subtotal(Amount: Currency; const PostLine: UnicodeString = ''); overload;
    { A negative amount is change. }
    procedure Payment(Total, Amount: Currency; PaymentID: Integer = 1; const PreLine: UnicodeString = '';
      const PostLine: UnicodeString = '');
    { Change is 0 or less. }
    procedure PaymentChange(Total, Change: Currency; PaymentID: Integer = 1; const PreLine: UnicodeString = '';
      const PostLine: UnicodeString = '');
    procedure PrintMessage(MessageType: Integer; const Text: UnicodeString);

    { The library's connection handle; 0 once disconnected. }
    property Handle: Integer read FHandle;
  end;

{ The symbolic name of a result code; empty when it has none. }
function KorvoErrorName(Code: Integer): string;
{ The text of a result code, the one specific to Command where there is one. }
function KorvoErrorText(Code: Integer; Language: Integer = KORVO_LANGUAGE_ENGLISH;
  const Command: UnicodeString = ''): UnicodeString;
function KorvoRequestHead(const Command: UnicodeString): TKorvoTexts;
function KorvoResponseHead(const Command: UnicodeString): TKorvoTexts;
{ The process-wide last result code. }
function KorvoLastError: Integer;
{ Process-wide configuration values, which new connections start with. }
function KorvoGetDefaultConfig(const Key: string): Integer;
procedure KorvoSetDefaultConfig(const Key: string; Value: Integer);

implementation

type
  Win1250String = type AnsiString(1250);
  {$IFDEF FPC}
  TKorvoLibHandle = TLibHandle;
  {$ELSE}
  TKorvoLibHandle = HMODULE;
  {$ENDIF}

const
  // The library's texts never exceed it: 2499 bytes of response values or
  // command name at most, error texts and heads far less.
  KorvoBufferSize = 2500;

type
  TKorvoBufferArray = array[0..KorvoBufferSize - 1] of AnsiChar;

var
  LibraryHandle: TKorvoLibHandle;
  LibraryLoaded: Boolean;

function OpenLibrary(const Path: string): TKorvoLibHandle;
begin
  {$IFDEF FPC}
  Result := LoadLibrary(Path);
  {$ELSE}
  Result := LoadLibrary(PChar(Path));
  {$ENDIF}
end;

function Bind(const Name: string): Pointer;
begin
  {$IFDEF FPC}
  Result := GetProcedureAddress(LibraryHandle, AnsiString(Name));
  {$ELSE}{$IFDEF MSWINDOWS}
  Result := GetProcAddress(LibraryHandle, PAnsiChar(AnsiString(Name)));
  {$ELSE}
  Result := GetProcAddress(LibraryHandle, PChar(Name));
  {$ENDIF}{$ENDIF}
  if Result = nil then
    raise EKorvoLoadError.Create('korvocomm: the library has no export ' + Name +
      '; it is not a matching korvocomm');
end;

procedure BindAll;
begin
  @ConnectUSB := Bind('ConnectUSB');
  @ConnectRS232 := Bind('ConnectRS232');
  @ConnectTCP := Bind('ConnectTCP');
  @Disconnect := Bind('Disconnect');
  @GetLastComError := Bind('GetLastComError');
  @SetConfigValue := Bind('SetConfigValue');
  @GetConfigValue := Bind('GetConfigValue');
  @SendCommand := Bind('SendCommand');
  @GetLastCommandResponse := Bind('GetLastCommandResponse');
  @GetLastCommandName := Bind('GetLastCommandName');
  @GetCommandReqestHead := Bind('GetCommandReqestHead');
  @GetCommandResponseHead := Bind('GetCommandResponseHead');
  @GetErrorText := Bind('GetErrorText');
  @GetCommandErrorText := Bind('GetCommandErrorText');
  @GetErrorName := Bind('GetErrorName');
  @Abort := Bind('Abort');
  @SendTextLogo := Bind('SendTextLogo');
  @BeginReceipt := Bind('BeginReceipt');
  @EndFiscalReceipt := Bind('EndFiscalReceipt');
  @BeginNonFiscal := Bind('BeginNonFiscal');
  @PrintNormal := Bind('PrintNormal');
  @EndNonFiscal := Bind('EndNonFiscal');
  @BeginTraining := Bind('BeginTraining');
  @EndTraining := Bind('EndTraining');
  @SaleItemTxt := Bind('SaleItemTxt');
  @SaleItemNum := Bind('SaleItemNum');
  @ItemAdjustTxt := Bind('ItemAdjustTxt');
  @ItemAdjustNum := Bind('ItemAdjustNum');
  @PackAdjustTxt := Bind('PackAdjustTxt');
  @PackAdjustNum := Bind('PackAdjustNum');
  @SinglePurposeVoucherTxt := Bind('SinglePurposeVoucherTxt');
  @SinglePurposeVoucherNum := Bind('SinglePurposeVoucherNum');
  @PrintSubtotalTxt := Bind('PrintSubtotalTxt');
  @PrintSubtotalNum := Bind('PrintSubtotalNum');
  @PaymentTxt := Bind('PaymentTxt');
  @PaymentNum := Bind('PaymentNum');
  @PaymentIdTxt := Bind('PaymentIdTxt');
  @PaymentIdNum := Bind('PaymentIdNum');
  @PaymentChangeTxt := Bind('PaymentChangeTxt');
  @PaymentChangeNum := Bind('PaymentChangeNum');
  @PaymentChangeIdTxt := Bind('PaymentChangeIdTxt');
  @PaymentChangeIdNum := Bind('PaymentChangeIdNum');
  @PrintRecMessage := Bind('PrintRecMessage');
end;

procedure LoadKorvoComm(const Path: string);
var
  Candidates: array of string;
  Tried: string;
  I: Integer;
begin
  if LibraryLoaded then
    Exit;
  if Path <> '' then
    Candidates := [Path]
  else if GetEnvironmentVariable('KORVOCOMM_LIBRARY') <> '' then
    Candidates := [GetEnvironmentVariable('KORVOCOMM_LIBRARY')]
  else
    {$IFDEF MSWINDOWS}
    Candidates := ['korvocomm.dll'];
    {$ELSE}
    Candidates := ['libkorvocomm.so.1', 'libkorvocomm.so'];
    {$ENDIF}
  Tried := '';
  for I := 0 to High(Candidates) do
  begin
    LibraryHandle := OpenLibrary(Candidates[I]);
    if LibraryHandle <> 0 then
    begin
      BindAll;
      LibraryLoaded := True;
      Exit;
    end;
    if Tried <> '' then
      Tried := Tried + ', ';
    Tried := Tried + Candidates[I];
  end;
  raise EKorvoLoadError.Create('korvocomm: the shared library cannot be loaded (tried ' + Tried +
    '); set KORVOCOMM_LIBRARY to its path');
end;

function KorvoCommLoaded: Boolean;
begin
  Result := LibraryLoaded;
end;

{ ---- Texts ---------------------------------------------------------------- }

{ A text as the library takes it; keep the result alive across the call. }
function Encode(const Text: UnicodeString): RawByteString;
var
  Native: Win1250String;
begin
  if Pos(#0, Text) > 0 then
    raise EArgumentException.Create('A text for the printer cannot hold a NUL character');
  Native := Win1250String(Text);
  // A character the code page lacks would silently become '?'.
  if UnicodeString(Native) <> Text then
    raise EConvertError.Create('Not every character can be written in Windows-1250: ' + string(Text));
  Result := Native;
end;

function Decode(const Buffer: TKorvoBufferArray; Length: Integer): UnicodeString;
var
  Native: Win1250String;
begin
  if Length > KorvoBufferSize then
    Length := KorvoBufferSize;
  SetLength(Native, Length);
  if Length > 0 then
    Move(Buffer[0], Native[1], Length);
  Result := UnicodeString(Native);
end;

{ The text of an export that reports no text with a negative code: empty then. }
function DecodeOrEmpty(const Buffer: TKorvoBufferArray; Length: Integer): UnicodeString;
begin
  if Length < 0 then
    Result := ''
  else
    Result := Decode(Buffer, Length);
end;

function Split(const Text: UnicodeString): TKorvoTexts;
var
  Start, I, Count: Integer;
begin
  Count := 1;
  for I := 1 to Length(Text) do
    if Text[I] = #9 then
      Inc(Count);
  Result := nil;
  SetLength(Result, Count);
  Count := 0;
  Start := 1;
  for I := 1 to Length(Text) + 1 do
    if (I > Length(Text)) or (Text[I] = #9) then
    begin
      Result[Count] := Copy(Text, Start, I - Start);
      Inc(Count);
      Start := I + 1;
    end;
end;

function Text(Handle, Language, Code: Integer): UnicodeString;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
begin
  Length := GetErrorText(Handle, Language, Code, Buffer, KorvoBufferSize);
  Result := DecodeOrEmpty(Buffer, Length);
end;

procedure Check(Code, Handle: Integer; const Command: UnicodeString = '');
begin
  if Code <> 0 then
    raise EKorvoError.ForCode(Code, Handle, Command);
end;

{ ---- EKorvoError ------------------------------------------------------------ }

constructor EKorvoError.Create(ACode: Integer; const AName: string; const AEnglishText, ASlovakText,
  ACommand: UnicodeString);
var
  Prefix, Shown: string;
begin
  Prefix := '';
  if ACommand <> '' then
    Prefix := string(ACommand) + ': ';
  Shown := AName;
  if Shown = '' then
    Shown := 'code';
  inherited Create(Prefix + Shown + ' (' + IntToStr(ACode) + '): ' + string(AEnglishText));
  FCode := ACode;
  FName := AName;
  FEnglishText := AEnglishText;
  FSlovakText := ASlovakText;
  FCommand := ACommand;
end;

class function EKorvoError.ForCode(ACode, Handle: Integer; const ACommand: UnicodeString): EKorvoError;
var
  English, Slovak: UnicodeString;
  Name: string;
begin
  English := Text(Handle, KORVO_LANGUAGE_ENGLISH, ACode);
  Slovak := Text(Handle, KORVO_LANGUAGE_SLOVAK, ACode);
  Name := KorvoErrorName(ACode);
  if ACode > 0 then
    Result := EKorvoPrinterError.Create(ACode, Name, English, Slovak, ACommand)
  else
    Result := EKorvoLibraryError.Create(ACode, Name, English, Slovak, ACommand);
end;

{ ---- Process-wide functions -------------------------------------------------- }

function KorvoErrorName(Code: Integer): string;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
begin
  LoadKorvoComm;
  Length := GetErrorName(Code, Buffer, KorvoBufferSize);
  Result := string(DecodeOrEmpty(Buffer, Length));
end;

function KorvoErrorText(Code: Integer; Language: Integer; const Command: UnicodeString): UnicodeString;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
begin
  LoadKorvoComm;
  if Command = '' then
    Exit(Text(0, Language, Code));
  Length := GetCommandErrorText(Language, PKorvoText(Encode(Command)), Code, Buffer, KorvoBufferSize);
  Result := DecodeOrEmpty(Buffer, Length);
end;

function Head(ResponseHead: Boolean; const Command: UnicodeString): TKorvoTexts;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
begin
  LoadKorvoComm;
  if ResponseHead then
    Length := GetCommandResponseHead(PKorvoText(Encode(Command)), Buffer, KorvoBufferSize)
  else
    Length := GetCommandReqestHead(PKorvoText(Encode(Command)), Buffer, KorvoBufferSize);
  if Length < 0 then
    Check(Length, 0);
  if Length = 0 then
    Result := nil
  else
    Result := Split(Decode(Buffer, Length));
end;

function KorvoRequestHead(const Command: UnicodeString): TKorvoTexts;
begin
  Result := Head(False, Command);
end;

function KorvoResponseHead(const Command: UnicodeString): TKorvoTexts;
begin
  Result := Head(True, Command);
end;

function KorvoLastError: Integer;
begin
  LoadKorvoComm;
  Result := GetLastComError(0);
end;

function GetConfig(Handle: Integer; const Key: string): Integer;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
begin
  LoadKorvoComm;
  Length := GetConfigValue(Handle, PKorvoText(Encode(UnicodeString(Key))), Buffer, KorvoBufferSize);
  if Length < 0 then
    Check(Length, Handle);
  Result := StrToInt(string(Decode(Buffer, Length)));
end;

procedure SetConfig(Handle: Integer; const Key: string; Value: Integer);
begin
  LoadKorvoComm;
  Check(SetConfigValue(Handle, PKorvoText(Encode(UnicodeString(Key))), PKorvoText(AnsiString(IntToStr(Value)))),
    Handle);
end;

function KorvoGetDefaultConfig(const Key: string): Integer;
begin
  Result := GetConfig(0, Key);
end;

procedure KorvoSetDefaultConfig(const Key: string; Value: Integer);
begin
  SetConfig(0, Key, Value);
end;

{ ---- TKorvoResponse ------------------------------------------------------------ }

function TKorvoResponse.Has(const Name: UnicodeString): Boolean;
var
  I: Integer;
begin
  for I := 0 to High(Names) do
    if (Names[I] = Name) and (I <= High(Fields)) then
      Exit(True);
  Result := False;
end;

function TKorvoResponse.Value(const Name: UnicodeString): UnicodeString;
var
  I: Integer;
begin
  for I := 0 to High(Names) do
    if (Names[I] = Name) and (I <= High(Fields)) then
      Exit(Fields[I]);
  raise EArgumentException.Create('The response of ' + string(Command) + ' has no value ' + string(Name));
end;

{ ---- TKorvoPrinter -------------------------------------------------------------- }

function Connected(Handle: Integer): Integer;
begin
  if Handle <= 0 then
    Check(GetLastComError(0), 0);
  Result := Handle;
end;

constructor TKorvoPrinter.ConnectTCP(const HostAddress: UnicodeString);
begin
  inherited Create;
  LoadKorvoComm;
  FHandle := Connected(KorvoComm.ConnectTCP(PKorvoText(Encode(HostAddress))));
end;

constructor TKorvoPrinter.ConnectUSB(const PortName: UnicodeString);
begin
  inherited Create;
  LoadKorvoComm;
  FHandle := Connected(KorvoComm.ConnectUSB(PKorvoText(Encode(PortName))));
end;

constructor TKorvoPrinter.ConnectRS232(const PortName: UnicodeString; Speed, DeviceAddress: Integer);
begin
  inherited Create;
  LoadKorvoComm;
  FHandle := Connected(KorvoComm.ConnectRS232(PKorvoText(Encode(PortName)), Speed, DeviceAddress));
end;

destructor TKorvoPrinter.Destroy;
begin
  if FHandle <> 0 then
    KorvoComm.Disconnect(FHandle);
  FHandle := 0;
  inherited Destroy;
end;

procedure TKorvoPrinter.Disconnect;
const
  APP_INVALID_HANDLE = -202;
var
  Closing, Outcome: Integer;
begin
  if FHandle = 0 then
    Exit;
  Closing := FHandle;
  FHandle := 0;
  // Disconnect hands back the negated outcome (-p for a printer's code p),
  // but an unknown handle as it is.
  Outcome := KorvoComm.Disconnect(Closing);
  if Outcome <> APP_INVALID_HANDLE then
    Outcome := -Outcome;
  KorvoComm.Check(Outcome, 0);
end;

procedure TKorvoPrinter.Abort;
begin
  Check(KorvoComm.Abort(FHandle));
end;

procedure TKorvoPrinter.Check(Code: Integer; const Command: UnicodeString);
begin
  KorvoComm.Check(Code, FHandle, Command);
end;

function TKorvoPrinter.Send(const Command: UnicodeString): TKorvoResponse;
begin
  Check(SendCommand(FHandle, PKorvoText(Encode(Command)), nil), Command);
  Result := LastResponse(Command);
end;

function TKorvoPrinter.Send(const Command: UnicodeString; const Params: array of UnicodeString): TKorvoResponse;
var
  Data: UnicodeString;
  I: Integer;
begin
  if Length(Params) = 0 then
    Exit(Send(Command));
  Data := '';
  for I := 0 to High(Params) do
  begin
    if (Pos(#9, Params[I]) > 0) or (Pos(#10, Params[I]) > 0) then
      raise EArgumentException.Create('A parameter cannot hold a TAB or line feed: ' + string(Params[I]));
    if I > 0 then
      Data := Data + #9;
    Data := Data + Params[I];
  end;
  Check(SendCommand(FHandle, PKorvoText(Encode(Command)), PKorvoText(Encode(Data))), Command);
  Result := LastResponse(Command);
end;

function TKorvoPrinter.LastResponse(const Command: UnicodeString): TKorvoResponse;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
  Values: UnicodeString;
begin
  Result.Command := Command;
  if Result.Command = '' then
    Result.Command := LastCommandName;
  Length := GetLastCommandResponse(FHandle, Buffer, KorvoBufferSize);
  if Length < 0 then
    Check(Length);
  Values := Decode(Buffer, Length);
  Result.Names := KorvoResponseHead(Result.Command);
  if (Values = '') and (System.Length(Result.Names) = 0) then
    Result.Fields := nil
  else
    Result.Fields := Split(Values);
end;

function TKorvoPrinter.LastCommandName: UnicodeString;
var
  Buffer: TKorvoBufferArray;
  Length: Integer;
begin
  Length := GetLastCommandName(FHandle, Buffer, KorvoBufferSize);
  if Length < 0 then
    Check(Length);
  Result := Decode(Buffer, Length);
end;

function TKorvoPrinter.LastError: Integer;
begin
  Result := GetLastComError(FHandle);
end;

function TKorvoPrinter.GetConfig(const Key: string): Integer;
begin
  Result := KorvoComm.GetConfig(FHandle, Key);
end;

procedure TKorvoPrinter.SetConfig(const Key: string; Value: Integer);
begin
  KorvoComm.SetConfig(FHandle, Key, Value);
end;

procedure TKorvoPrinter.Logo(LineType: Integer; const Lines: array of UnicodeString);
var
  T: array[0..8] of RawByteString;
  I: Integer;
begin
  if Length(Lines) > 9 then
    raise EArgumentException.Create('At most 9 lines');
  for I := 0 to High(Lines) do
    T[I] := Encode(Lines[I]);
  Check(SendTextLogo(FHandle, LineType, PKorvoText(T[0]), PKorvoText(T[1]), PKorvoText(T[2]), PKorvoText(T[3]),
    PKorvoText(T[4]), PKorvoText(T[5]), PKorvoText(T[6]), PKorvoText(T[7]), PKorvoText(T[8])));
end;

procedure TKorvoPrinter.SetHeaderLines(const Lines: array of UnicodeString);
begin
  Logo(1, Lines);
end;

procedure TKorvoPrinter.SetTrailerLines(const Lines: array of UnicodeString);
begin
  Logo(2, Lines);
end;

procedure TKorvoPrinter.BeginReceipt(ReceiptType, Settings: Integer; const TransactionID: UnicodeString);
begin
  Check(KorvoComm.BeginReceipt(FHandle, ReceiptType, Settings, PKorvoText(Encode(TransactionID))));
end;

procedure TKorvoPrinter.EndReceipt(Separation: Boolean);
begin
  Check(EndFiscalReceipt(FHandle, Ord(Separation)));
end;

procedure TKorvoPrinter.BeginNonFiscal;
begin
  Check(KorvoComm.BeginNonFiscal(FHandle));
end;

procedure TKorvoPrinter.PrintNormal(const Text: UnicodeString);
begin
  Check(KorvoComm.PrintNormal(FHandle, PKorvoText(Encode(Text))));
end;

procedure TKorvoPrinter.EndNonFiscal(Separation: Boolean);
begin
  Check(KorvoComm.EndNonFiscal(FHandle, Ord(Separation)));
end;

procedure TKorvoPrinter.BeginTraining;
begin
  Check(KorvoComm.BeginTraining(FHandle));
end;

procedure TKorvoPrinter.EndTraining;
begin
  Check(KorvoComm.EndTraining(FHandle));
end;

{ An amount as the library's count of thousandths. }
function Thousandths(Value: Currency): Integer;
var
  Scaled: Int64;
begin
  if (Value > 2147483.647) or (Value < -2147483.647) then
    raise EArgumentException.Create('The amount ' + CurrToStr(Value) + ' does not fit the library''s range');
  // Currency keeps four decimals; the library takes three.
  Scaled := Round(Value * 10000);
  if Scaled mod 10 <> 0 then
    raise EArgumentException.Create('The amount ' + CurrToStr(Value) + ' has more than three decimals');
  Result := Scaled div 10;
end;

procedure TKorvoPrinter.SaleItem(const Description: UnicodeString; Price, Quantity: Currency; VatID: Integer;
  ItemType: Integer; SpecialRegulation: Integer; UnitPrice: Currency; const UnitName, RefReceiptID, PreLine,
  PostLine: UnicodeString);
begin
  Check(SaleItemNum(FHandle, ItemType, PKorvoText(Encode(Description)), Thousandths(Price), Thousandths(Quantity),
    VatID, SpecialRegulation, Thousandths(UnitPrice), PKorvoText(Encode(UnitName)),
    PKorvoText(Encode(RefReceiptID)), PKorvoText(Encode(PreLine)), PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.ItemAdjustment(AdjustmentType: Integer; const Description: UnicodeString;
  Amount: Currency; VatID: Integer; SpecialRegulation: Integer; const PreLine, PostLine: UnicodeString);
begin
  Check(ItemAdjustNum(FHandle, AdjustmentType, PKorvoText(Encode(Description)), Thousandths(Amount), VatID,
    SpecialRegulation, PKorvoText(Encode(PreLine)), PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.PackageAdjustment(AdjustmentType: Integer; const Description: UnicodeString;
  const VatAmounts: array of Currency; const PreLine, PostLine: UnicodeString);
var
  A: array[0..6] of Integer;
  I: Integer;
begin
  if Length(VatAmounts) > 7 then
    raise EArgumentException.Create('VAT ids are 1 to 7');
  for I := 0 to 6 do
    A[I] := 0;
  for I := 0 to High(VatAmounts) do
  begin
    A[I] := Thousandths(VatAmounts[I]);
    if A[I] < 0 then
      raise EArgumentException.Create('The amounts of a package adjustment are positive');
  end;
  Check(PackAdjustNum(FHandle, AdjustmentType, PKorvoText(Encode(Description)), A[0], A[1], A[2], A[3], A[4],
    A[5], A[6], PKorvoText(Encode(PreLine)), PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.Voucher(const VoucherID: UnicodeString; Amount: Currency; VatID: Integer;
  SpecialRegulation: Integer; const PreLine, PostLine: UnicodeString);
begin
  Check(SinglePurposeVoucherNum(FHandle, PKorvoText(Encode(VoucherID)), Thousandths(Amount), VatID,
    SpecialRegulation, PKorvoText(Encode(PreLine)), PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.Subtotal;
begin
  Check(PrintSubtotalTxt(FHandle, nil, nil));
end;

procedure TKorvoPrinter.Subtotal(Amount: Currency; const PostLine: UnicodeString);
begin
  Check(PrintSubtotalNum(FHandle, Thousandths(Amount), PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.Payment(Total, Amount: Currency; PaymentID: Integer; const PreLine,
  PostLine: UnicodeString);
begin
  Check(PaymentIdNum(FHandle, Thousandths(Total), Thousandths(Amount), PaymentID, PKorvoText(Encode(PreLine)),
    PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.PaymentChange(Total, Change: Currency; PaymentID: Integer; const PreLine,
  PostLine: UnicodeString);
begin
  Check(PaymentChangeIdNum(FHandle, Thousandths(Total), Thousandths(Change), PaymentID,
    PKorvoText(Encode(PreLine)), PKorvoText(Encode(PostLine))));
end;

procedure TKorvoPrinter.PrintMessage(MessageType: Integer; const Text: UnicodeString);
begin
  Check(PrintRecMessage(FHandle, MessageType, PKorvoText(Encode(Text))));
end;

end.
