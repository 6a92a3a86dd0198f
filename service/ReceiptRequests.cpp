// Fiscal receipts and cash receipts. A receipt's commands go out in the order
// the printer wants them: beginning (with the application's id as the
// transaction id), paragon, customer, e-mail, items, subtotal, package
// adjustments, messages, payments, end. Messages come before the payments
// because a fully paid receipt can no longer be voided: a refused message
// then would leave a sale that can only be registered.
#include <string>

#include "Amount.h"
#include "Requests.h"

namespace korvod {

namespace {

constexpr size_t kMaxItems = 500;
constexpr size_t kMaxPayments = 10;
constexpr size_t kMaxMessages = 50;
constexpr size_t kMaxAdjustments = 20;

std::string Indexed(const std::string& path, size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

std::string Money(int64_t thousandths) { return FormatThousandths(thousandths); }

// specialRegulation: absent is an empty field.
std::string Regulation(BodyFields& f) {
    if (!f.Has("specialRegulation")) {
        f.Integer("specialRegulation", 0, 0, 0); // marks it read when null
        return std::string();
    }
    return std::to_string(f.Integer("specialRegulation", 0, 2147483647, 0));
}

int64_t NotNegative(BodyFields& f, const char* key, bool required, int64_t fallback = 0) {
    int64_t value = f.Amount(key, required, fallback);
    if (value < 0) Refuse(f.Path(key), "must not be negative");
    return value;
}

const char* const kItemTypes[] = {"sale",     "refund",    "correction", "refundCorrection",
                                  "discount", "surcharge", "voucher"};
const char* const kItemCommands[] = {"printRecItem", "printRecItemRefund", "printRecItemCorrection",
                                     "printRecItemRefundCorrection"};

PlanStep Item(const Json& value, size_t index) {
    std::string path = Indexed("items", index);
    BodyFields f(value, path);
    int type = f.Choice("type", kItemTypes, 7, 0);
    PlanStep step;
    step.field = path;
    step.item = static_cast<int>(index);
    if (type <= 3) {
        std::string text = f.Text("text", kTextLimit, true);
        int64_t price = NotNegative(f, "price", true);
        int64_t quantity = f.Amount("quantity", false, 1000);
        if (quantity <= 0) Refuse(f.Path("quantity"), "must be more than 0");
        int64_t vat = f.Integer("vat", 1, 7, 0, true);
        std::string regulation = Regulation(f);
        std::string unitPrice = f.Has("unitPrice") ? Money(NotNegative(f, "unitPrice", false)) : "";
        if (unitPrice.empty()) f.Amount("unitPrice", false);
        std::string unitName = f.Text("unitName");
        std::string reference = f.Text("reference");
        std::string pre = f.Text("preLine"), post = f.Text("postLine");
        step.command = kItemCommands[type];
        step.parameters = JoinFields({text, Money(price), Money(quantity), std::to_string(vat), regulation,
                                      unitPrice, unitName, reference, pre, post});
    } else if (type <= 5) {
        std::string text = f.Text("text");
        int64_t amount = NotNegative(f, "amount", true);
        int64_t vat = f.Integer("vat", 1, 7, 0, true);
        std::string regulation = Regulation(f);
        std::string pre = f.Text("preLine"), post = f.Text("postLine");
        step.command = "printRecItemAdjustment";
        step.parameters = JoinFields({type == 4 ? "1" : "2", text, Money(amount), std::to_string(vat),
                                      regulation, pre, post});
    } else {
        std::string voucher = f.Text("voucherId", kTextLimit, true);
        int64_t amount = NotNegative(f, "amount", true);
        int64_t vat = f.Integer("vat", 1, 7, 0, true);
        std::string regulation = Regulation(f);
        std::string pre = f.Text("preLine"), post = f.Text("postLine");
        step.command = "printRecItemSinglePurposeVoucher";
        step.parameters =
            JoinFields({Money(amount), std::to_string(vat), voucher, regulation, pre, post});
    }
    f.Finish();
    return step;
}

PlanStep PackageAdjustment(const Json& value, size_t index) {
    std::string path = Indexed("adjustments", index);
    BodyFields f(value, path);
    static const char* const types[] = {"discount", "surcharge"};
    int type = f.Choice("type", types, 2, 0);
    std::string text = f.Text("text");
    const Json& amounts = f.Array("amounts", 7, true);
    std::string perVat;
    bool seen[8] = {};
    for (size_t i = 0; i < amounts.size(); ++i) {
        BodyFields a(amounts[i], Indexed(f.Path("amounts"), i));
        int64_t vat = a.Integer("vat", 1, 7, 0, true);
        int64_t amount = NotNegative(a, "amount", true);
        a.Finish();
        if (seen[vat]) Refuse(a.Path("vat"), "names a VAT rate that is already adjusted");
        seen[vat] = true;
        if (!perVat.empty()) perVat += ';';
        perVat += std::to_string(vat) + "," + Money(amount);
    }
    std::string pre = f.Text("preLine"), post = f.Text("postLine");
    f.Finish();
    return PlanStep{"printRecPackageAdjustment", JoinFields({type == 0 ? "1" : "2", text, perVat, pre, post}),
                    path};
}

// A date and time as the printer writes them: YYYY-MM-DDTHH:MM:SS.
bool IsPrinterDateTime(const std::string& text) {
    static const char pattern[] = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != sizeof pattern - 1) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

void Opening(BodyFields& body, TaskPlan& plan, int64_t receiptType) {
    plan.id = body.Identifier("id", true);
    int64_t settings = body.Integer("settings", 0, 255, 0);
    plan.steps.push_back(PlanStep{"beginFiscalReceipt",
                                  JoinFields({std::to_string(receiptType), std::to_string(settings), plan.id}),
                                  "id"});
}

std::string Separation(BodyFields& body) { return body.Flag("cut", false) ? "1" : "0"; }

} // namespace

void PlanReceipt(BodyFields& body, TaskPlan& plan) {
    plan.kind = TaskKind::Receipt;
    static const char* const types[] = {"sale", "refund", "invoice"};
    Opening(body, plan, body.Choice("type", types, 3, 0) + 1);

    if (const Json* paragon = body.Nested("paragon")) {
        BodyFields p(*paragon, "paragon");
        int64_t number = p.Integer("number", 1, 999999, 0, true);
        std::string date = p.Text("date", 19, true);
        if (!IsPrinterDateTime(date)) Refuse(p.Path("date"), "must be written YYYY-MM-DDTHH:MM:SS");
        p.Finish();
        plan.steps.push_back(PlanStep{"setParagon", JoinFields({std::to_string(number), date}), "paragon"});
    }
    if (const Json* customer = body.Nested("customer")) {
        BodyFields c(*customer, "customer");
        static const char* const kinds[] = {"ICO", "DIC", "IC DPH", "ID"};
        int kind = c.Choice("type", kinds, 4, 0);
        std::string id = c.Text("id", 20, true);
        c.Finish();
        plan.steps.push_back(PlanStep{"setCustomer", JoinFields({std::to_string(kind + 1), id}), "customer"});
    }
    std::string email = body.Text("email");
    if (!email.empty()) plan.steps.push_back(PlanStep{"setCustomerEmailAddress", email, "email"});

    const Json& items = body.Array("items", kMaxItems, true);
    for (size_t i = 0; i < items.size(); ++i)
        plan.steps.push_back(Item(items[i], i));

    if (const Json* subtotal = body.Nested("subtotal")) {
        std::string amount, post;
        if (subtotal->is_boolean()) {
            if (!subtotal->get<bool>()) subtotal = nullptr;
        } else {
            BodyFields s(*subtotal, "subtotal");
            if (s.Has("amount")) amount = Money(s.Amount("amount", false));
            s.Amount("amount", false);
            post = s.Text("postLine");
            s.Finish();
        }
        if (subtotal) plan.steps.push_back(PlanStep{"printRecSubtotal", JoinFields({amount, post}), "subtotal"});
    }

    const Json& adjustments = body.Array("adjustments", kMaxAdjustments, false);
    for (size_t i = 0; i < adjustments.size(); ++i)
        plan.steps.push_back(PackageAdjustment(adjustments[i], i));

    const Json& messages = body.Array("messages", kMaxMessages, false);
    for (size_t i = 0; i < messages.size(); ++i) {
        std::string path = Indexed("messages", i);
        BodyFields m(messages[i], path);
        int64_t type = m.Integer("type", 1, 4, 1);
        std::string text = m.Text("text", kTextLimit, true);
        m.Finish();
        plan.steps.push_back(PlanStep{"printRecMessage", JoinFields({std::to_string(type), text}), path});
    }

    // A negative total (a refund receipt) is paid out: the printer wants it
    // as change.
    int64_t total = body.Amount("total", true);
    const Json& payments = body.Array("payments", kMaxPayments, true);
    for (size_t i = 0; i < payments.size(); ++i) {
        std::string path = Indexed("payments", i);
        BodyFields p(payments[i], path);
        int64_t id = p.Integer("id", 1, 99, 0, true);
        int64_t amount = NotNegative(p, "amount", false, 0);
        std::string pre = p.Text("preLine"), post = p.Text("postLine");
        p.Finish();
        PlanStep step{total < 0 ? "printRecTotalChange" : "printRecTotal",
                      JoinFields({Money(total), Money(total < 0 ? -amount : amount), std::to_string(id), pre,
                                  post}),
                      path};
        plan.steps.push_back(step);
    }
    plan.steps.push_back(PlanStep{"endFiscalReceipt", Separation(body), "cut"});
    body.Finish();
}

void PlanCash(BodyFields& body, TaskPlan& plan) {
    plan.kind = TaskKind::Cash;
    static const char* const types[] = {"deposit", "withdrawal"};
    if (!body.Has("type")) Refuse(body.Path("type"), "is required");
    Opening(body, plan, body.Choice("type", types, 2, 0) + 4);
    int64_t amount = body.Amount("amount", true);
    if (amount <= 0) Refuse(body.Path("amount"), "must be more than 0");
    std::string payment = body.Has("payment") ? std::to_string(body.Integer("payment", 1, 99, 0)) : "";
    body.Integer("payment", 1, 99, 0);
    plan.steps.push_back(PlanStep{"printRecCash", JoinFields({Money(amount), payment}), "amount"});
    plan.steps.push_back(PlanStep{"endFiscalReceipt", Separation(body), "cut"});
    body.Finish();
}

} // namespace korvod
