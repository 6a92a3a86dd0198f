{ KorvoComm against korvosim over TCP: the example receipt, its registration
  by value names, a printer error and a library error with both texts, and the
  disconnect. Run by scripts/run-with-sim.sh, which names the simulator in
  KORVOSIM_TCP. }
program KorvoCommTest;

{$IFDEF FPC}
  {$MODE DELPHI}
  {$CODEPAGE UTF8}
{$ENDIF}

uses
  SysUtils, Classes, KorvoComm;

var
  Failures: Integer = 0;

procedure Expect(Condition: Boolean; const What: string);
begin
  if Condition then
    Exit;
  WriteLn('FAILED: ', What);
  Inc(Failures);
end;

procedure ExpectText(const Expected, Actual: UnicodeString; const What: string);
begin
  Expect(Expected = Actual, What + ': expected <' + UTF8Encode(Expected) + '>, got <' + UTF8Encode(Actual) + '>');
end;

function FileText(const Path: string): string;
var
  Lines: TStringList;
begin
  Lines := TStringList.Create;
  try
    Lines.LoadFromFile(Path);
    Result := Lines.Text;
  finally
    Lines.Free;
  end;
end;

// examples/receipt.txt
procedure PrintExampleReceipt(Printer: TKorvoPrinter);
begin
  Printer.SetHeaderLines(['KORVO DEMO SHOP s.r.o.', 'Hlavna 1, 811 01 Bratislava', 'ICO: 12345678',
    'DIC: 2020123456', 'IC DPH: SK2020123456']);
  Printer.BeginReceipt(1, 0);
  Printer.SaleItem('Rye bread 500 g', 3.78, 2, 3);
  Printer.SaleItem('Milk 1.5% 1 l', 1.29, 1, 3);
  Printer.SaleItem('Coffee beans 250 g', 6.49, 1, 1);
  Printer.SaleItem('Apples', 2.37, 1.580, 4, KORVO_ITEM_SALE, -1, 1.50, 'kg');
  Printer.ItemAdjustment(1, 'Loyalty discount', 0.65, 1);
  Printer.Subtotal;
  Printer.Payment(13.28, 20.00, 1);
  Printer.EndReceipt(False);
end;

var
  Printer: TKorvoPrinter;
  Info: TKorvoResponse;
  Handle: Integer;
begin
  if GetEnvironmentVariable('KORVOSIM_TCP') = '' then
  begin
    WriteLn('no simulator: run through scripts/run-with-sim.sh');
    Halt(2);
  end;

  Printer := TKorvoPrinter.ConnectTCP(UnicodeString(GetEnvironmentVariable('KORVOSIM_TCP')));
  try
    Handle := Printer.Handle;
    PrintExampleReceipt(Printer);
    Info := Printer.Send('getLastRegisteredReceiptInfo');
    Expect(StrToInt(string(Info.Value('rcptMonthlyNumber'))) >= 1, 'a monthly receipt number');
    Expect((Copy(Info.Value('UID'), 1, 2) = 'O-') and (Info.Value('OKP') <> '') and (Info.Value('PKP') <> ''),
      'UID, OKP and PKP of the registered receipt');
    ExpectText('1', Info.Value('taxAuthRegistStatus'), 'registration status');
    ExpectText('', Info.Value('eKasaErrorText'), 'eKasa error text');
    Expect(Pos('TOTAL EUR                          13.28', FileText(GetEnvironmentVariable('KORVOSIM_PAPER'))) > 0,
      'the total on paper');

    Printer.BeginReceipt;
    try
      Printer.Send('printRecItem', ['Coffee', '2.50', '1', '9', '', '', '', '', '', '']);
      Expect(False, 'VAT id 9 refused');
    except
      on E: EKorvoPrinterError do
      begin
        Expect(E.Code = 217, 'printer error code ' + IntToStr(E.Code));
        ExpectText('EFP_BAD_VAT', UnicodeString(E.Name), 'printer error name');
        ExpectText('Parameter vatID is invalid or it is not allowed to register an item in the given tax level',
          E.EnglishText, 'English text');
        ExpectText('Parameter vatID je nesprávny/zlý, alebo nie je dovolené registrovať položku v poslanej ' +
          'daňovej hladine.', E.SlovakText, 'Slovak text');
      end;
    end;
    Printer.Send('printRecVoid');

    try
      TKorvoPrinter.ConnectUSB('LPT1').Free;
      Expect(False, 'port LPT1 refused');
    except
      on E: EKorvoLibraryError do
      begin
        Expect(E.Code = -206, 'library error code ' + IntToStr(E.Code));
        ExpectText('APP_INVALID_PORT', UnicodeString(E.Name), 'library error name');
        ExpectText('Invalid serial communication port.', E.EnglishText, 'English text');
        ExpectText('Nesprávny komunikačný port.', E.SlovakText, 'Slovak text');
      end;
    end;

    Printer.Disconnect;
    Expect(Printer.Handle = 0, 'handle after the disconnect');
    Expect(GetLastComError(Handle) = -202, 'the library''s handle is freed');
  finally
    Printer.Free;
  end;

  if Failures = 0 then
    WriteLn('KorvoComm: all checks passed')
  else
    WriteLn(Failures, ' checks failed');
  if Failures <> 0 then
    Halt(1);
end.
