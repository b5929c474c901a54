#include "catalogue.h"

namespace varnok::store {

namespace {

// EAN-13 goods carry valid check digits with the Brazilian 789 prefix; EAN-8 goods are
// stored as the kiosk pads them; scale items use four-digit item codes (the kiosk's
// default label layout), priced per kilogram.
constexpr CatalogueEntry kCatalogue[] = {
    {"7891234567895", "Arroz 5kg", 21.9, 1001},
    {"7891000100011", "Feijão Carioca 1kg", 8.49, 1002},
    {"7891000100028", "Açúcar Refinado 1kg", 4.79, 1003},
    {"7891000100035", "Café Torrado e Moído 500g", 17.9, 1004},
    {"7891000100042", "Óleo de Soja 900ml", 7.99, 1005},
    {"7891000100059", "Macarrão Espaguete 500g", 4.29, 1006},
    {"7891000100066", "Farinha de Trigo 1kg", 5.49, 1007},
    {"7891000100073", "Sal Refinado 1kg", 2.19, 1008},
    {"7891000100080", "Leite Integral 1L", 5.69, 1009},
    {"7891000100097", "Requeijão Cremoso 200g", 8.9, 1010},
    {"7891000100103", "Manteiga com Sal 200g", 12.5, 1011},
    {"7891000100110", "Iogurte Natural 170g", 3.49, 1012},
    {"7891000100127", "Biscoito Água e Sal 200g", 4.5, 1013},
    {"7891000100134", "Molho de Tomate 340g", 3.2, 1014},
    {"7891000100141", "Extrato de Tomate 190g", 2.99, 1015},
    {"7891000100158", "Milho Verde em Conserva 170g", 3.79, 1016},
    {"7891000100165", "Ervilha em Conserva 170g", 3.59, 1017},
    {"7891000100172", "Pêssego em Calda 450g", 11.9, 1018},
    {"7891000100189", "Azeite de Oliva Extra Virgem 500ml", 32.9, 1019},
    {"7891000100196", "Vinagre de Álcool 750ml", 2.89, 1020},
    {"7891000100202", "Achocolatado em Pó 400g", 9.99, 1021},
    {"7891000100219", "Chá de Camomila 10 sachês", 4.15, 1022},
    {"7891000100226", "Água Mineral sem Gás 1,5L", 2.5, 1023},
    {"7891000100233", "Refrigerante Guaraná 2L", 8.99, 1024},
    {"7891000100240", "Suco de Maracujá 1L", 7.45, 1025},
    {"7891000100257", "Cerveja Pilsen Lata 350ml", 3.99, 1026},
    {"7891000100264", "Sabão em Pó 1kg", 14.9, 1027},
    {"7891000100271", "Detergente Líquido 500ml", 2.49, 1028},
    {"7891000100288", "Papel Higiênico Folha Dupla 12 rolos", 19.9, 1029},
    {"7891000100295", "Creme Dental 90g", 4.99, 1030},
    {"7891000100301", "Sabonete Glicerinado 90g", 2.3, 1031},
    {"7891000100318", "Xampu Anticaspa 350ml", 18.75, 1032},
    {"7891000100325", "Esponja de Aço 8 unidades", 3.1, 1033},
    {"7891000100332", "Pão de Forma Integral 500g", 9.49, 1034},
    {"7891000100349", "Doce de Leite \"Mineiro\" 400g", 10.9, 1035},
    {"0000078910003", "Chiclete Hortelã", 1.5, 1036},
    {"0000078965430", "Bala de Gengibre", 0.25, 1037},
    {"0000078901230", "Pastilha de Menta", 2.75, 1038},
    {"0000078943216", "Isqueiro Descartável", 4.0, 1039},
    {"0000078913578", "Pilha Alcalina AA", 6.9, 1040},
    {"0000000000456", "Queijo Mussarela kg", 39.9, 1041},
    {"0000000000101", "Pão Francês kg", 14.99, 1042},
    {"0000000000102", "Banana Prata kg", 5.98, 1043},
    {"0000000000103", "Maçã Fuji kg", 9.9, 1044},
    {"0000000000104", "Limão Tahiti kg", 4.49, 1045},
    {"0000000000105", "Tomate Italiano kg", 7.8, 1046},
    {"0000000000106", "Batata Inglesa kg", 4.99, 1047},
    {"0000000000107", "Cebola kg", 3.99, 1048},
    {"0000000000108", "Filé de Frango kg", 24.9, 1049},
    {"0000000000109", "Linguiça Toscana kg", 22.5, 1050},
    {"0000000000110", "Picanha Bovina kg", 79.9, 1051},
    {"0000000000111", "Presunto Cozido Fatiado kg", 34.9, 1052},
};

}  // namespace

std::span<const CatalogueEntry> sampleCatalogue() {
  return kCatalogue;
}

}  // namespace varnok::store
