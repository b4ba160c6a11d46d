// kovacli: sends requests to the library's unattended request (kova2) and prints the replies,
// for scripts and programs in other languages.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "Conversao.h"
#include "Incorporar.h"
#include "Restaurar.h"
#include "kovadll.h"

namespace {

const char* kAjuda =
    "uso: kovacli [--cp1252] [REQUISICAO ...]\n"
    "     kovacli incorporar ARQUIVO [opções]   (veja kovacli incorporar --help)\n"
    "     kovacli restaurar [DIA] [opções]      (veja kovacli restaurar --help)\n"
    "     kovacli --versao\n"
    "\n"
    "Envia cada requisição (dos argumentos ou, sem eles, uma por linha da entrada padrão) ao\n"
    "pedido desassistido da biblioteca (kova2) e escreve a resposta, uma por linha.\n"
    "Uma requisição são itens CHAVE=valor separados por \";\", por exemplo:\n"
    "  UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=...;DATAVENCIMENTO=25/03/2024;...\n"
    "\n"
    "Os textos são lidos e escritos em UTF-8; com --cp1252, em Windows-1252.\n"
    "A biblioteca lê Config.ini ao lado deste programa (ou KOVA.INI) para achar os dados.\n"
    "\n"
    "Saída: 0 quando todas as KOVA foram aceitas, 1 quando alguma foi rejeitada,\n"
    "2 quando uma requisição falhou (a razão vai para a saída de erro).\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "incorporar") == 0) return Incorporar(argc - 2, argv + 2);
    if (argc > 1 && std::strcmp(argv[1], "restaurar") == 0) return Restaurar(argc - 2, argv + 2);
    bool cp1252 = false;
    std::vector<std::string> requisicoes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << ParaUtf8(kAjuda);
            return 0;
        }
        if (std::strcmp(argv[i], "--versao") == 0 || std::strcmp(argv[i], "--version") == 0) {
            std::cout << "kovacli (KOVA) " << VersaoDoKOVA() << "\n";
            return 0;
        }
        if (std::strcmp(argv[i], "--cp1252") == 0) {
            cp1252 = true;
            continue;
        }
        requisicoes.push_back(argv[i]);
    }
    const bool daEntrada = requisicoes.empty();
    std::string linha;
    int resultado = 0;
    for (size_t i = 0;; ++i) {
        if (daEntrada) {
            if (!std::getline(std::cin, linha)) break;
            if (!linha.empty() && linha.back() == '\r') linha.pop_back();
            if (linha.empty()) continue;
        } else {
            if (i >= requisicoes.size()) break;
            linha = requisicoes[i];
        }
        std::string pedido = cp1252 ? linha : ParaCp1252(linha);
        std::vector<char> buffer(pedido.begin(), pedido.end());
        buffer.resize(pedido.size() + 1024, '\0');
        size_t precisa = kova2_n(buffer.data(), buffer.size());
        if (precisa == 0) {
            char erro[1024];
            kova_ultimo_erro(erro, sizeof erro);
            std::cerr << "kovacli: " << (cp1252 ? std::string(erro) : ParaUtf8(erro)) << "\n";
            resultado = 2;
            continue;
        }
        std::string resposta(buffer.data());
        std::cout << (cp1252 ? resposta : ParaUtf8(resposta)) << "\n";
        if (resposta.find(";Retorno=000;") == std::string::npos && resultado == 0) resultado = 1;
    }
    // The library loaded its tables at the first request, after an upgrade replacing them.
    AvisaTabelasAtualizadas();
    return resultado;
}
