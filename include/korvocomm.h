/*
 * korvocomm: communication with fiscal printers of the Korvo family.
 *
 * Open a connection over USB (virtual COM port), RS-232 or TCP and get a
 * handle; send named commands with TAB-separated parameters; read the
 * response values, the heads of a command and error texts in English and
 * Slovak. Texts are NUL-terminated 8-bit strings; Slovak texts are in the
 * Windows-1250 code page.
 *
 * Output texts go to a caller buffer given with its size: the full length of
 * the text is returned, at most size bytes are copied (NUL-padded, not
 * terminated when cut), size 0 asks for the length alone.
 */
#ifndef KORVOCOMM_H
#define KORVOCOMM_H

/* Calling convention of the exports: __stdcall on 32-bit Windows. */
#if defined(_WIN32) && !defined(_WIN64)
#define KORVO_CALL __stdcall
#else
#define KORVO_CALL
#endif

#ifndef KORVO_API
#if defined(_WIN32)
#define KORVO_API
#else
#define KORVO_API __attribute__((visibility("default")))
#endif
#endif

/* Language identifiers for the error texts: 2057 selects English, every
 * other value Slovak. */
#define LANGUAGE_ENGLISH 2057
#define LANGUAGE_SLOVAK  1051

/* Configuration keys of SetConfigValue and GetConfigValue. */
#define CFG_NEXT_CMD_TIME        "next_cmd_time"
#define CFG_LINK_TRANSFER_TIME   "link_transfer_time"
#define CFG_EXTEND_RESPONSE_TIME "extend_response_time"
#define CFG_DNS_CONNECT_MODE     "dns_connect_mode"

/* Printer result codes: 0 is success, positive codes come from the printer. */
#define EFP_OK                       0
#define E_ILLEGAL                    106
#define E_OFFLINE                    108
#define E_NOEXIST                    109
#define E_FAILURE                    111
#define EFP_COVER_OPEN               201
#define EFP_REC_EMPTY                203
#define EFP_WRONG_STATE              207
#define EFP_CLOCK_ERROR              209
#define EFP_FISCAL_MEMORY_FULL       210
#define EFP_FM_DISCONNECTED          211
#define EFP_BAD_QUANTITY             213
#define EFP_BAD_AMOUNT               214
#define EFP_BAD_DESCRIPTION          215
#define EFP_REC_TOTAL_OVERFLOW       216
#define EFP_BAD_VAT                  217
#define EFP_BAD_PRICE                218
#define EFP_BAD_DATE                 219
#define EFP_BAD_REF_RECEIPT          220
#define EFP_UNEXPECT_REF_RECEIPT     221
#define EFP_BAD_SPEC_REG             222
#define EFP_UNEXPECT_SPEC_REG        223
#define EFP_DAY_END_REQUIRED         224
#define EFP_INSPECTION_REQUEST       225
#define EFP_TAX_AUTH_REG_IN_PROGRESS 226
#define EFP_LOCATION_REG_IN_PROGRESS 227
#define EFP_LOCATION_NOT_SET         228
#define EFP_BAD_PAYMENT              229
#define EFP_BAD_CHANGE_TYPE          230
#define EFP_FW_UPDATE_REQUEST        231
#define EFP_INVALID_FW_SIGNATURE     232
#define EFP_WRONG_FW                 233
#define EFP_EMPTY_SERIAL_NUM         234
#define EFP_NO_CERTIFICATE           235
#define EFP_INVALID_CERTIFICATE      236
#define EFP_MISSING_IDENTITY_DATA    237
#define EFP_FW_DOWNLOADING           239
#define EFP_ICM_BLOCKED              240
#define EFP_PSTORAGE_WRN_LIMIT1      241
#define EFP_PSTORAGE_WRN_LIMIT2      242
#define EFP_MAX_DTMSG_ITEMS_EXCEEDED 266
#define EFP_MAX_PAYMENT_CNT_EXCEEDED 267
#define EFP_NOT_PAYABLE_AMOUNT       268
#define EFP_BAD_EMAIL_ADDRESS        269
#define EFP_NEG_ITEMS_OVER           270
#define EFP_DSP_DISCONNECTED         291
#define EFP_PRN_DISCONNECTED         292
#define EFP_FM_INTERNAL_ERROR        293
#define EFP_DSP_INTERNAL_ERROR       294
#define EFP_PRN_INTERNAL_ERROR       295
#define EEJ_ERROR_IN_OPERATION       296
#define EFP_OPERATION_ERROR          297
#define EFP_ICM_CHANGED              298
#define EFP_PSTORAGE_FULL            299
#define EFP_ILLEGAL_COMMAND          301
#define EFP_READ_ONLY                302
#define EFP_ALREADY_FISCAL           303
#define EFP_TOOBIG                   304
#define EFP_NOT_FISCAL               305
#define EFP_CUTTER                   321
#define EFP_DATA_TYPE                401
#define EFP_LONG_MESSAGE             402
#define EFP_EXTRA_FIELD              403
#define EFP_MISSING_FIELD            404
#define EFP_MISSING_PRM              405
#define EFP_UNKNOWN_CMD              406
#define EFP_NETWORK                  407
#define EFP_MANDATORY_FW_UPDATE      408
#define EFP_FW_UPDATE_NEED_FISCAL    409
#define EFP_INACTIVE_ON_CLOUD        410
#define EEJ_NOT_READ                 501
#define EEJ_DATA_MEDIUM_ERROR        502
#define EEJ_DATA_MEDIUM_COVER_OPEN   503
#define EEJ_NOT_ENOUGH_SPACE         504
#define EEJ_EXPORT                   505
#define EFP_ICM_COMM_ERROR           601
#define EFP_ICM_BUSY                 602
#define EFP_ICM_OPERATION_ERROR      603
#define EFP_TAX_AUTH_REGIST_REJECTED 604
#define EFP_DUPLICATE_BUFFER_FULL    605
#define EFP_ICM_JRN_DOC_UNFINISHED   606
#define EFP_COVER_OPEN_WARNING       901
#define EFP_CUTTER_WARNING           902
#define EFP_REC_EMPTY_WARNING        903
#define EEJ_EXPORT_WARNING           904

/* Library result codes, produced on the computer side. */
#define APP_NOT_SUPPORTED            (-101)
#define APP_CONNECTION_ERROR         (-102)
#define APP_UNKNOWN_CFG_VALUE        (-103)
#define APP_NO_ERROR_TEXT            (-104)
#define APP_TERMINATED               (-105)
#define APP_COMMUNICATION_ABORTED    (-106)
#define APP_INVALID_CFG_NAME         (-107)
#define APP_INVALID_CFG_VALUE        (-108)
#define APP_WRONG_CFG_VALUE          (-109)
#define APP_READ_ONLY_CFG_VALUE      (-110)
#define APP_DYNAMIC_ONLY_CFG_VALUE   (-111)
#define APP_STATIC_ONLY_CFG_VALUE    (-112)
#define APP_CFG_VALUE_OUT_OF_RANGE   (-113)
#define APP_MAX_CONNECTION_COUNT     (-201)
#define APP_INVALID_HANDLE           (-202)
#define APP_INVALID_COM_SPEED        (-203)
#define APP_INVALID_LINK_ADDRESS     (-204)
#define APP_INVALID_HOST_ADDRESS     (-205)
#define APP_INVALID_PORT             (-206)
#define APP_DISCONNECTED             (-207)
#define APP_RESPONSE_TIMEOUT         (-301)
#define APP_UNKNOWN_RECEIVE_ERROR    (-302)
#define APP_WRONG_RESPONSE_DATA      (-303)
#define APP_NO_NETWORK_LAYER         (-304)
#define APP_PACKET_RECEIVE_ERROR     (-305)
#define APP_PACKET_SEND_ERROR        (-306)
#define APP_PACKET_TIMEOUT           (-307)
#define APP_PACKET_INCOMPLETE        (-308)
#define APP_PACKET_WRONG_DATA        (-309)
#define APP_PACKET_CORRUPTED         (-310)
#define APP_PACKET_UNKNOWN_TYPE      (-311)
#define APP_NETW_LAYER_FAILED        (-312)
#define APP_UNKNOWN_COMMAND          (-401)
#define APP_COMMAND_TOO_LONG         (-402)
#define APP_CMD_NAME_TOO_LONG        (-403)
#define APP_CMD_DATA_TOO_LONG        (-404)
#define APP_CMD_PARAM_TOO_LONG       (-405)
#define APP_NO_RESPONSE_RECEIVED     (-406)
#define APP_NO_OUTPUT_BUFFER         (-501)
#define APP_INVALID_BUFFER_LEN       (-502)
#define APP_COMM_THREAD_ERROR        (-601)
#define APP_CAN_NOT_OPEN_PORT        (-621)
#define APP_PORT_CONFIG_ERROR        (-622)
#define APP_PORT_IS_BUSY             (-623)
#define APP_PORT_DO_NOT_EXIST        (-624)
#define APP_CAN_NOT_SEND_DATA        (-625)
#define APP_READING_DATA_ERROR       (-626)
#define APP_COM_OPEN_GENERAL_FAIL    (-627)
#define APP_COM_STATE_GENERAL_FAIL   (-628)
#define APP_COM_SETUP_GENERAL_FAIL   (-629)
#define APP_TCP_SOCKET_INIT_ERROR    (-631)
#define APP_TCP_SOCKET_VERSION_ERR   (-632)
#define APP_SEND_BUFFER_OVERFLOW     (-641)
#define APP_TCP_HOST_NOT_FOUND       (-651)
#define APP_TCP_CONNECT_ERROR        (-652)
#define APP_TCP_CONNECTION_BROKEN    (-653)
#define APP_TCP_CONNECTION_CLOSED    (-654)
#define APP_TCP_CONNECTION_REFUSED   (-655)
#define APP_TCP_CONNECT_TIME_OUT     (-656)
#define APP_TCP_UNREACHABLE_HOST     (-657)
#define APP_TCP_CONNECTION_RESET     (-658)
#define APP_TCP_TEMP_RESOLVE_ERROR   (-659)
#define APP_TCP_MULTIPLE_HOSTS       (-660)

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Connections ---------------------------------------------------------
 * A connect call returns a positive handle, or 0 on failure with the reason
 * in GetLastComError(0). At most 16 connections are open at a time. */

/* Opens a printer on a USB virtual COM port ("COM1" to "COM256") at 38400 baud. */
KORVO_API int KORVO_CALL ConnectUSB(const char* portName);
/* Opens a printer on an RS-232 port: speed 9600 or more, device address 2 to 255. */
KORVO_API int KORVO_CALL ConnectRS232(const char* portName, int speed, int deviceAddress);
/* Opens a printer over TCP: "host", "host:port", "[v6]:port", optionally "TCP://"; port 49999 by default. */
KORVO_API int KORVO_CALL ConnectTCP(const char* hostAddress);
/* Ends a connection and frees its handle: 0, or the negated outcome of the disconnection. */
KORVO_API int KORVO_CALL Disconnect(int handle);
/* Handle 0: the process-wide last error. Otherwise the connection's last status. */
KORVO_API int KORVO_CALL GetLastComError(int handle);

/* ---- Configuration values (handle 0: process-wide defaults) -------------- */

/* Sets a configuration value from its decimal text. 0 or a negative code. */
KORVO_API int KORVO_CALL SetConfigValue(int handle, const char* key, const char* value);
/* Reads a configuration value as decimal text. Its length, or a negative code. */
KORVO_API int KORVO_CALL GetConfigValue(int handle, const char* key, char* buffer, int bufferSize);

/* ---- Commands -------------------------------------------------------------- */

/* Sends a command by its long or short name with TAB-separated parameters (NULL for none)
 * and waits for the answer. The printer's result code (0 success), or a negative library code. */
KORVO_API int KORVO_CALL SendCommand(int handle, const char* commandName, const char* parameters);
/* The TAB-separated values of the last response. Text length, or a negative code. */
KORVO_API int KORVO_CALL GetLastCommandResponse(int handle, char* buffer, int bufferSize);
/* The name of the last command as it was given. Text length, or a negative code. */
KORVO_API int KORVO_CALL GetLastCommandName(int handle, char* buffer, int bufferSize);
/* The TAB-separated parameter names of a command; 0 when it has none. */
KORVO_API int KORVO_CALL GetCommandReqestHead(const char* commandName, char* buffer, int bufferSize);
/* The TAB-separated response value names of a command; 0 when it has none. */
KORVO_API int KORVO_CALL GetCommandResponseHead(const char* commandName, char* buffer, int bufferSize);

/* ---- Error texts ------------------------------------------------------------- */

/* The text of a result code, specific to the connection's last command where one exists. */
KORVO_API int KORVO_CALL GetErrorText(int handle, int language, int code, char* buffer, int bufferSize);
/* The text of a result code, specific to the named command where one exists. */
KORVO_API int KORVO_CALL GetCommandErrorText(int language, const char* commandName, int code, char* buffer,
                                             int bufferSize);
/* The symbolic name of a result code, for example "EFP_BAD_VAT". */
KORVO_API int KORVO_CALL GetErrorName(int code, char* buffer, int bufferSize);

/* Ends the running wait of the connection with APP_COMMUNICATION_ABORTED; every later command
 * ends so at once, unsent: disconnect after an abort. May be called from another thread or a
 * window procedure. */
KORVO_API int KORVO_CALL Abort(int handle);

/* ---- Receipt documents and items ---------------------------------------------
 * Convenience calls that build one printer command from typed arguments and send
 * it as SendCommand does; they return what SendCommand returns. Every text
 * argument is at most 80 bytes (NULL counts as empty), else APP_CMD_PARAM_TOO_LONG
 * and nothing is sent. Num forms take amounts as int counts of thousandths
 * (1250 is 1.250); Txt forms pass the caller's amount texts on unchanged.
 * A separation flag is one byte: any non-zero value is true. */

/* Sets the nine header (lineType 1) or trailer (lineType 2) lines. */
KORVO_API int KORVO_CALL SendTextLogo(int handle, int lineType, const char* line1, const char* line2,
                                      const char* line3, const char* line4, const char* line5,
                                      const char* line6, const char* line7, const char* line8,
                                      const char* line9);
/* Opens a fiscal receipt of the given type and settings, with an optional transaction id. */
KORVO_API int KORVO_CALL BeginReceipt(int handle, int fiscalReceiptType, int fiscalReceiptSettings,
                                      const char* transactionID);
/* Closes the fiscal receipt; separation non-zero asks for a separation after it. */
KORVO_API int KORVO_CALL EndFiscalReceipt(int handle, unsigned char separation);
/* Opens a non-fiscal document. */
KORVO_API int KORVO_CALL BeginNonFiscal(int handle);
/* Prints a line of a non-fiscal document; the text goes out unchecked. */
KORVO_API int KORVO_CALL PrintNormal(int handle, const char* data);
/* Closes the non-fiscal document; separation non-zero asks for a separation after it. */
KORVO_API int KORVO_CALL EndNonFiscal(int handle, unsigned char separation);
/* Enters training mode. */
KORVO_API int KORVO_CALL BeginTraining(int handle);
/* Leaves training mode. */
KORVO_API int KORVO_CALL EndTraining(int handle);

/* Sells, refunds or corrects an item: itemType 1 sale, 3 refund, 5 correction, 7 refund
 * correction. vatID 1 to 7; a negative specialRegulation is left out. */
KORVO_API int KORVO_CALL SaleItemTxt(int handle, int itemType, const char* description, const char* price,
                                     const char* quantity, int vatID, int specialRegulation,
                                     const char* unitPrice, const char* unitName, const char* refReceiptID,
                                     const char* preLine, const char* postLine);
/* SaleItemTxt with price, quantity and unitPrice in thousandths; a unitPrice of 0 or less is left out. */
KORVO_API int KORVO_CALL SaleItemNum(int handle, int itemType, const char* description, int price,
                                     int quantity, int vatID, int specialRegulation, int unitPrice,
                                     const char* unitName, const char* refReceiptID, const char* preLine,
                                     const char* postLine);
/* Adjusts the last item: adjustmentType 1 or 2, vatID 1 to 7; a negative specialRegulation is left out. */
KORVO_API int KORVO_CALL ItemAdjustTxt(int handle, int adjustmentType, const char* description,
                                       const char* amount, int vatID, int specialRegulation,
                                       const char* preLine, const char* postLine);
/* ItemAdjustTxt with the amount in thousandths. */
KORVO_API int KORVO_CALL ItemAdjustNum(int handle, int adjustmentType, const char* description, int amount,
                                       int vatID, int specialRegulation, const char* preLine,
                                       const char* postLine);
/* Adjusts the whole receipt by an amount per VAT rate 1 to 7; empty amounts are left out. */
KORVO_API int KORVO_CALL PackAdjustTxt(int handle, int adjustmentType, const char* description,
                                       const char* vatAmount1, const char* vatAmount2,
                                       const char* vatAmount3, const char* vatAmount4,
                                       const char* vatAmount5, const char* vatAmount6,
                                       const char* vatAmount7, const char* preLine, const char* postLine);
/* PackAdjustTxt with the amounts in thousandths; amounts of 0 or less are left out. */
KORVO_API int KORVO_CALL PackAdjustNum(int handle, int adjustmentType, const char* description,
                                       int vatAmount1, int vatAmount2, int vatAmount3, int vatAmount4,
                                       int vatAmount5, int vatAmount6, int vatAmount7, const char* preLine,
                                       const char* postLine);
/* Sells a single-purpose voucher; vatID is the printer's to check, specialRegulation -1 is left out. */
KORVO_API int KORVO_CALL SinglePurposeVoucherTxt(int handle, const char* voucherID, const char* amount,
                                                 int vatID, int specialRegulation, const char* preLine,
                                                 const char* postLine);
/* SinglePurposeVoucherTxt with the amount in thousandths. */
KORVO_API int KORVO_CALL SinglePurposeVoucherNum(int handle, const char* voucherID, int amount, int vatID,
                                                 int specialRegulation, const char* preLine,
                                                 const char* postLine);

/* ---- Totals, payments and messages --------------------------------------------
 * Payment identifiers and message types go to the printer unchecked. A payment
 * that begins with "-" (Txt) or is negative (Num) is sent as change; the Change
 * variants always send change, which the printer wants as 0 or less. */

/* Prints the subtotal, with an optional line after it. */
KORVO_API int KORVO_CALL PrintSubtotalTxt(int handle, const char* amount, const char* postLine);
/* PrintSubtotalTxt with the amount in thousandths. */
KORVO_API int KORVO_CALL PrintSubtotalNum(int handle, int amount, const char* postLine);
/* Pays the receipt's total with a payment of the given payment id text. */
KORVO_API int KORVO_CALL PaymentTxt(int handle, const char* total, const char* payment, const char* paymentID,
                                    const char* preLine, const char* postLine);
/* PaymentTxt with total and payment in thousandths. */
KORVO_API int KORVO_CALL PaymentNum(int handle, int total, int payment, const char* paymentID,
                                    const char* preLine, const char* postLine);
/* PaymentTxt with a numeric payment id. */
KORVO_API int KORVO_CALL PaymentIdTxt(int handle, const char* total, const char* payment, int paymentID,
                                      const char* preLine, const char* postLine);
/* PaymentTxt with total and payment in thousandths and a numeric payment id. */
KORVO_API int KORVO_CALL PaymentIdNum(int handle, int total, int payment, int paymentID, const char* preLine,
                                      const char* postLine);
/* Gives change (0 or less) in the given payment type. */
KORVO_API int KORVO_CALL PaymentChangeTxt(int handle, const char* total, const char* change,
                                          const char* paymentID, const char* preLine, const char* postLine);
/* PaymentChangeTxt with total and change in thousandths. */
KORVO_API int KORVO_CALL PaymentChangeNum(int handle, int total, int change, const char* paymentID,
                                          const char* preLine, const char* postLine);
/* PaymentChangeTxt with a numeric payment id. */
KORVO_API int KORVO_CALL PaymentChangeIdTxt(int handle, const char* total, const char* change, int paymentID,
                                            const char* preLine, const char* postLine);
/* PaymentChangeTxt with total and change in thousandths and a numeric payment id. */
KORVO_API int KORVO_CALL PaymentChangeIdNum(int handle, int total, int change, int paymentID,
                                            const char* preLine, const char* postLine);
/* Prints a message line of the given type on the receipt. */
KORVO_API int KORVO_CALL PrintRecMessage(int handle, int messageType, const char* message);

#ifdef __cplusplus
}
#endif

#endif /* KORVOCOMM_H */
