// Korvo.Comm against korvosim over TCP: the example receipt, its registration by value
// names, a printer error and a library error with both texts, and the disconnect.
// Run by scripts/run-with-sim.sh, which names the simulator in KORVOSIM_TCP.
using System;
using System.IO;
using Korvo.Comm;

internal static class PrinterTest
{
    private static int failures;

    private static void Expect(bool condition, string what)
    {
        if (condition) return;
        Console.WriteLine("FAILED: " + what);
        failures++;
    }

    private static void ExpectEqual(object expected, object actual, string what)
    {
        Expect(Equals(expected, actual), what + ": expected <" + expected + ">, got <" + actual + ">");
    }

    // examples/receipt.txt
    private static void PrintExampleReceipt(Printer printer)
    {
        printer.SetHeaderLines("KORVO DEMO SHOP s.r.o.", "Hlavna 1, 811 01 Bratislava", "ICO: 12345678",
                               "DIC: 2020123456", "IC DPH: SK2020123456");
        printer.BeginReceipt(1, 0);
        printer.SaleItem("Rye bread 500 g", 3.78m, 2m, 3);
        printer.SaleItem("Milk 1.5% 1 l", 1.29m, 1m, 3);
        printer.SaleItem("Coffee beans 250 g", 6.49m, 1m, 1);
        printer.SaleItem("Apples", 2.37m, 1.580m, 4, unitPrice: 1.50m, unitName: "kg");
        printer.ItemAdjustment(1, "Loyalty discount", 0.65m, 1);
        printer.Subtotal();
        printer.Payment(13.28m, 20.00m, 1);
        printer.EndReceipt(false);
    }

    private static int Main()
    {
        string address = Environment.GetEnvironmentVariable("KORVOSIM_TCP");
        string paper = Environment.GetEnvironmentVariable("KORVOSIM_PAPER");
        if (string.IsNullOrEmpty(address))
        {
            Console.WriteLine("no simulator: run through scripts/run-with-sim.sh");
            return 2;
        }

        Printer printer = Printer.Tcp(address);
        int handle = printer.Handle;
        PrintExampleReceipt(printer);
        Response info = printer.Send("getLastRegisteredReceiptInfo");
        Expect(int.Parse(info["rcptMonthlyNumber"]) >= 1, "a monthly receipt number");
        Expect(info["UID"].StartsWith("O-") && info["OKP"].Length > 0 && info["PKP"].Length > 0,
               "UID, OKP and PKP of the registered receipt");
        ExpectEqual("1", info["taxAuthRegistStatus"], "registration status");
        ExpectEqual("", info["eKasaErrorText"], "eKasa error text");
        Expect(File.ReadAllText(paper).Contains("TOTAL EUR                          13.28"), "the total on paper");

        printer.BeginReceipt();
        try
        {
            printer.Send("printRecItem", "Coffee", 2.50m, 1, 9, null, null, null, null, null, null);
            Expect(false, "VAT id 9 refused");
        }
        catch (PrinterException e)
        {
            ExpectEqual(217, e.Code, "printer error code");
            ExpectEqual("EFP_BAD_VAT", e.Name, "printer error name");
            ExpectEqual("Parameter vatID is invalid or it is not allowed to register an item in the given tax level",
                        e.EnglishText, "English text");
            ExpectEqual("Parameter vatID je nesprávny/zlý, alebo nie je dovolené registrovať položku v poslanej " +
                        "daňovej hladine.", e.SlovakText, "Slovak text");
        }
        printer.Send("printRecVoid");

        try
        {
            Printer.Usb("LPT1").Dispose();
            Expect(false, "port LPT1 refused");
        }
        catch (LibraryException e)
        {
            ExpectEqual(-206, e.Code, "library error code");
            ExpectEqual("APP_INVALID_PORT", e.Name, "library error name");
            ExpectEqual("Invalid serial communication port.", e.EnglishText, "English text");
            ExpectEqual("Nesprávny komunikačný port.", e.SlovakText, "Slovak text");
        }

        printer.Disconnect();
        ExpectEqual(0, printer.Handle, "handle after the disconnect");
        ExpectEqual(-202, NativeMethods.Library.GetLastComError(handle), "the library's handle is freed");

        Console.WriteLine(failures == 0 ? "Korvo.Comm: all checks passed" : failures + " checks failed");
        return failures == 0 ? 0 : 1;
    }
}
