using System;
using System.Reflection;
using System.Runtime.InteropServices;

namespace Korvo.Comm
{
    /// <summary>
    /// The exports of the korvocomm library, declared as korvocomm.h declares them: 32-bit ints,
    /// texts as NUL-terminated Windows-1250 bytes (null for NULL), output buffers as byte arrays
    /// with their size. Output texts are copied like strncpy: the full length is returned, at most
    /// bufferSize bytes are written, not NUL-terminated when cut; size 0 asks for the length.
    /// </summary>
    /// <remarks>
    /// The library is loaded at first use (see <see cref="Library"/>), so KORVOCOMM_LIBRARY and the
    /// lookup order apply on Mono, .NET Framework and .NET alike.
    /// </remarks>
    public sealed class NativeMethods
    {
        // __stdcall on 32-bit Windows, the platform's C convention everywhere else: KORVO_CALL.
        private const CallingConvention Convention = CallingConvention.Winapi;

        [UnmanagedFunctionPointer(Convention)]
        public delegate int ConnectUSBFunction([In] byte[] portName);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int ConnectRS232Function([In] byte[] portName, int speed, int deviceAddress);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int ConnectTCPFunction([In] byte[] hostAddress);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int DisconnectFunction(int handle);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetLastComErrorFunction(int handle);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SetConfigValueFunction(int handle, [In] byte[] key, [In] byte[] value);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetConfigValueFunction(int handle, [In] byte[] key, [Out] byte[] buffer,
            int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SendCommandFunction(int handle, [In] byte[] commandName, [In] byte[] parameters);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetLastCommandResponseFunction(int handle, [Out] byte[] buffer, int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetLastCommandNameFunction(int handle, [Out] byte[] buffer, int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetCommandReqestHeadFunction([In] byte[] commandName, [Out] byte[] buffer,
            int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetCommandResponseHeadFunction([In] byte[] commandName, [Out] byte[] buffer,
            int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetErrorTextFunction(int handle, int language, int code, [Out] byte[] buffer,
            int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetCommandErrorTextFunction(int language, [In] byte[] commandName, int code,
            [Out] byte[] buffer, int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int GetErrorNameFunction(int code, [Out] byte[] buffer, int bufferSize);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int AbortFunction(int handle);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SendTextLogoFunction(int handle, int lineType, [In] byte[] line1, [In] byte[] line2,
            [In] byte[] line3, [In] byte[] line4, [In] byte[] line5, [In] byte[] line6, [In] byte[] line7,
            [In] byte[] line8, [In] byte[] line9);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int BeginReceiptFunction(int handle, int fiscalReceiptType, int fiscalReceiptSettings,
            [In] byte[] transactionID);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int EndFiscalReceiptFunction(int handle, byte separation);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int BeginNonFiscalFunction(int handle);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PrintNormalFunction(int handle, [In] byte[] data);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int EndNonFiscalFunction(int handle, byte separation);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int BeginTrainingFunction(int handle);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int EndTrainingFunction(int handle);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SaleItemTxtFunction(int handle, int itemType, [In] byte[] description,
            [In] byte[] price, [In] byte[] quantity, int vatID, int specialRegulation, [In] byte[] unitPrice,
            [In] byte[] unitName, [In] byte[] refReceiptID, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SaleItemNumFunction(int handle, int itemType, [In] byte[] description, int price,
            int quantity, int vatID, int specialRegulation, int unitPrice, [In] byte[] unitName,
            [In] byte[] refReceiptID, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int ItemAdjustTxtFunction(int handle, int adjustmentType, [In] byte[] description,
            [In] byte[] amount, int vatID, int specialRegulation, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int ItemAdjustNumFunction(int handle, int adjustmentType, [In] byte[] description,
            int amount, int vatID, int specialRegulation, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PackAdjustTxtFunction(int handle, int adjustmentType, [In] byte[] description,
            [In] byte[] vatAmount1, [In] byte[] vatAmount2, [In] byte[] vatAmount3, [In] byte[] vatAmount4,
            [In] byte[] vatAmount5, [In] byte[] vatAmount6, [In] byte[] vatAmount7, [In] byte[] preLine,
            [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PackAdjustNumFunction(int handle, int adjustmentType, [In] byte[] description,
            int vatAmount1, int vatAmount2, int vatAmount3, int vatAmount4, int vatAmount5, int vatAmount6,
            int vatAmount7, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SinglePurposeVoucherTxtFunction(int handle, [In] byte[] voucherID,
            [In] byte[] amount, int vatID, int specialRegulation, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int SinglePurposeVoucherNumFunction(int handle, [In] byte[] voucherID, int amount,
            int vatID, int specialRegulation, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PrintSubtotalTxtFunction(int handle, [In] byte[] amount, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PrintSubtotalNumFunction(int handle, int amount, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentTxtFunction(int handle, [In] byte[] total, [In] byte[] payment,
            [In] byte[] paymentID, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentNumFunction(int handle, int total, int payment, [In] byte[] paymentID,
            [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentIdTxtFunction(int handle, [In] byte[] total, [In] byte[] payment,
            int paymentID, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentIdNumFunction(int handle, int total, int payment, int paymentID,
            [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentChangeTxtFunction(int handle, [In] byte[] total, [In] byte[] change,
            [In] byte[] paymentID, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentChangeNumFunction(int handle, int total, int change, [In] byte[] paymentID,
            [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentChangeIdTxtFunction(int handle, [In] byte[] total, [In] byte[] change,
            int paymentID, [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PaymentChangeIdNumFunction(int handle, int total, int change, int paymentID,
            [In] byte[] preLine, [In] byte[] postLine);
        [UnmanagedFunctionPointer(Convention)]
        public delegate int PrintRecMessageFunction(int handle, int messageType, [In] byte[] message);

        // Bound by name from the library when it is loaded.
#pragma warning disable 0649
        public readonly ConnectUSBFunction ConnectUSB;
        public readonly ConnectRS232Function ConnectRS232;
        public readonly ConnectTCPFunction ConnectTCP;
        public readonly DisconnectFunction Disconnect;
        public readonly GetLastComErrorFunction GetLastComError;
        public readonly SetConfigValueFunction SetConfigValue;
        public readonly GetConfigValueFunction GetConfigValue;
        public readonly SendCommandFunction SendCommand;
        public readonly GetLastCommandResponseFunction GetLastCommandResponse;
        public readonly GetLastCommandNameFunction GetLastCommandName;
        public readonly GetCommandReqestHeadFunction GetCommandReqestHead;
        public readonly GetCommandResponseHeadFunction GetCommandResponseHead;
        public readonly GetErrorTextFunction GetErrorText;
        public readonly GetCommandErrorTextFunction GetCommandErrorText;
        public readonly GetErrorNameFunction GetErrorName;
        public readonly AbortFunction Abort;
        public readonly SendTextLogoFunction SendTextLogo;
        public readonly BeginReceiptFunction BeginReceipt;
        public readonly EndFiscalReceiptFunction EndFiscalReceipt;
        public readonly BeginNonFiscalFunction BeginNonFiscal;
        public readonly PrintNormalFunction PrintNormal;
        public readonly EndNonFiscalFunction EndNonFiscal;
        public readonly BeginTrainingFunction BeginTraining;
        public readonly EndTrainingFunction EndTraining;
        public readonly SaleItemTxtFunction SaleItemTxt;
        public readonly SaleItemNumFunction SaleItemNum;
        public readonly ItemAdjustTxtFunction ItemAdjustTxt;
        public readonly ItemAdjustNumFunction ItemAdjustNum;
        public readonly PackAdjustTxtFunction PackAdjustTxt;
        public readonly PackAdjustNumFunction PackAdjustNum;
        public readonly SinglePurposeVoucherTxtFunction SinglePurposeVoucherTxt;
        public readonly SinglePurposeVoucherNumFunction SinglePurposeVoucherNum;
        public readonly PrintSubtotalTxtFunction PrintSubtotalTxt;
        public readonly PrintSubtotalNumFunction PrintSubtotalNum;
        public readonly PaymentTxtFunction PaymentTxt;
        public readonly PaymentNumFunction PaymentNum;
        public readonly PaymentIdTxtFunction PaymentIdTxt;
        public readonly PaymentIdNumFunction PaymentIdNum;
        public readonly PaymentChangeTxtFunction PaymentChangeTxt;
        public readonly PaymentChangeNumFunction PaymentChangeNum;
        public readonly PaymentChangeIdTxtFunction PaymentChangeIdTxt;
        public readonly PaymentChangeIdNumFunction PaymentChangeIdNum;
        public readonly PrintRecMessageFunction PrintRecMessage;
#pragma warning restore 0649

        private static readonly object Gate = new object();
        private static NativeMethods loaded;

        /// <summary>The path the library was loaded from, as it was found.</summary>
        public string Path { get; private set; }

        private NativeMethods(IntPtr library, string path)
        {
            Path = path;
            foreach (FieldInfo field in typeof(NativeMethods).GetFields(BindingFlags.Public | BindingFlags.Instance))
            {
                IntPtr address = NativeLibraryLoader.Export(library, field.Name);
                if (address == IntPtr.Zero)
                    throw new EntryPointNotFoundException(
                        "korvocomm: " + path + " has no export " + field.Name + "; it is not a matching korvocomm");
                field.SetValue(this, Marshal.GetDelegateForFunctionPointer(address, field.FieldType));
            }
        }

        /// <summary>
        /// The library, loaded on first use from the first of: the file KORVOCOMM_LIBRARY names (then
        /// only that one); libkorvocomm.so.1 or libkorvocomm.so (korvocomm.dll on Windows) next to
        /// Korvo.Comm.dll; the same names through the system's search. DllNotFoundException when
        /// none loads.
        /// </summary>
        public static NativeMethods Library
        {
            get
            {
                lock (Gate)
                {
                    if (loaded == null)
                    {
                        string path;
                        IntPtr library = NativeLibraryLoader.Load(out path);
                        loaded = new NativeMethods(library, path);
                    }
                    return loaded;
                }
            }
        }
    }
}
