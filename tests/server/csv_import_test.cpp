#include "csv_import.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using varnok::store::CsvError;
using varnok::store::CsvImport;
using varnok::store::parseProductCsv;

// The products as "codigo|nome|preco_venda|id" and the problems as "line: message".
std::vector<std::string> productsOf(const CsvImport& imported) {
  std::vector<std::string> out;
  for (const auto& p : imported.products) {
    char price[32];
    std::snprintf(price, sizeof price, "%g", p.precoVenda);
    out.push_back(p.codigo + "|" + p.nome + "|" + price + "|" + std::to_string(p.id));
  }
  return out;
}

std::vector<std::string> problemsOf(const CsvImport& imported) {
  std::vector<std::string> out;
  for (const auto& problem : imported.problems) {
    out.push_back(std::to_string(problem.line) + ": " + problem.message);
  }
  return out;
}

struct CsvCase {
  const char* text;
  std::vector<std::string> products;
  std::vector<std::string> problems;
};

// Shows the CSV text when a case fails, and keeps the test names free of addresses.
void PrintTo(const CsvCase& c, std::ostream* os) {
  *os << testing::PrintToString(std::string(c.text));
}

class ProductCsv : public testing::TestWithParam<CsvCase> {};

TEST_P(ProductCsv, ReadsProductsAndReportsBadLines) {
  const CsvCase& c = GetParam();
  SCOPED_TRACE(c.text);
  const CsvImport imported = parseProductCsv(c.text);
  EXPECT_EQ(productsOf(imported), c.products);
  EXPECT_EQ(problemsOf(imported), c.problems);
}

#define HEADER "codigo,nome,preco_venda,id\n"

const CsvCase kCsvCases[] = {
    {HEADER "7891234567895,Arroz 5kg,21.9,1\n", {"7891234567895|Arroz 5kg|21.9|1"}, {}},
    // Short codes are padded as the kiosk asks for them; the last line may lack its end.
    {HEADER "96385074,Bala,0.25,2\n456,Queijo kg,39.9,3",
     {"0000096385074|Bala|0.25|2", "0000000000456|Queijo kg|39.9|3"},
     {}},
    {HEADER "1,\"Biscoito Recheado, Chocolate\",3.5,4\n",
     {"0000000000001|Biscoito Recheado, Chocolate|3.5|4"},
     {}},
    {HEADER "1,\"Doce \"\"Mineiro\"\"\",10.9,5\n", {"0000000000001|Doce \"Mineiro\"|10.9|5"}, {}},
    {HEADER "1,Pão de Queijo kg,29.9,6\r\n2,Maçã,9.9,7\r\n",
     {"0000000000001|Pão de Queijo kg|29.9|6", "0000000000002|Maçã|9.9|7"},
     {}},
    // A line break inside quotes belongs to the field: later line numbers count it.
    {HEADER "1,\"Duas\nlinhas\",1,8\n2,Bom,x,9\n",
     {"0000000000001|Duas\nlinhas|1|8"},
     {"4: preco_venda \"x\" is not a price such as 21.9"}},
    {HEADER "\n1,A,1,1\n\n", {"0000000000001|A|1|1"}, {}},
    {"\xEF\xBB\xBFid,preco_venda,nome,codigo\n7,2.5,Sal,123\n", {"0000000000123|Sal|2.5|7"}, {}},
    {HEADER "1,A,1\n", {}, {"2: expected 4 fields, found 3"}},
    {HEADER "1,A,1,1,extra\n", {}, {"2: expected 4 fields, found 5"}},
    {HEADER "12345678901234,A,1,1\n", {}, {"2: codigo \"12345678901234\" is not 1 to 13 digits"}},
    {HEADER "12A4,A,1,1\n", {}, {"2: codigo \"12A4\" is not 1 to 13 digits"}},
    {HEADER ",A,1,1\n", {}, {"2: codigo \"\" is not 1 to 13 digits"}},
    {HEADER "1, ,1,1\n", {}, {"2: nome is empty"}},
    {HEADER "1,Caf\xE9,1,1\n", {}, {"2: nome is not valid UTF-8"}},
    {HEADER "1,A,\"21,9\",1\n", {}, {"2: preco_venda \"21,9\" is not a price such as 21.9"}},
    {HEADER "1,A,-1,1\n", {}, {"2: preco_venda \"-1\" is not a price such as 21.9"}},
    {HEADER "1,A,inf,1\n", {}, {"2: preco_venda \"inf\" is not a price such as 21.9"}},
    {HEADER "1,A,1,1.5\n", {}, {"2: id \"1.5\" is not an integer"}},
    {HEADER "1,A,1,99999999999999999999\n",
     {},
     {"2: id \"99999999999999999999\" is not an integer"}},
    {HEADER "1,A\"B,1,1\n2,C,1,2\n",
     {"0000000000002|C|1|2"},
     {"2: quote inside an unquoted field"}},
    {HEADER "1,\"A\"B,1,1\n2,C,1,2\n",
     {"0000000000002|C|1|2"},
     {"2: text after the closing quote of a field"}},
    {HEADER "1,A,1,1\n2,\"open,1,2\n3,C,1,3\n",
     {"0000000000001|A|1|1"},
     {"3: quoted field is not closed"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProductCsv, testing::ValuesIn(kCsvCases));

TEST(ProductCsvHeader, MissingOrWrongHeaderRefusesTheFile) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "line 1: the header must name the columns codigo,nome,preco_venda,id"},
      {"7891234567895,Arroz,21.9,1\n",
       "line 1: the header must name the columns codigo,nome,preco_venda,id"},
      {"codigo,nome,preco_venda\n",
       "line 1: the header must name the columns codigo,nome,preco_venda,id"},
      {"codigo,nome,preco_venda,id,extra\n",
       "line 1: the header must name the columns codigo,nome,preco_venda,id"},
      {"codigo,codigo,preco_venda,id\n",
       "line 1: the header must name the columns codigo,nome,preco_venda,id"},
      {"\"codigo,nome,preco_venda,id\n", "line 1: quoted field is not closed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseProductCsv(c.text);
      ADD_FAILURE() << "no error";
    } catch (const CsvError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

}  // namespace
