#pragma once
// A box with an edit mask for a view whose edit boxes know no masks (the Windows one): the
// characters typed fill the mask's slots and its separators come between them. Only what was typed
// is shown, so an incomplete mask leaves a short text, which the box's field then refuses or, with
// nothing typed, takes as an unfilled box.

#include <string>
#include <vector>

namespace kova {

class TMascaraCaixa {
public:
    // A field's edit mask, "!99/99/0000;1;_": '0' and '9' a digit, 'L' and 'l' a letter, 'A' and
    // 'a' a letter or digit, 'C' and 'c' any character, '\' makes the next one a separator; what
    // follows ';' is not laid out.
    explicit TMascaraCaixa(const std::string& mascara);
    bool Vazia() const { return posicoes_.empty(); }
    // How many characters can be typed.
    size_t Vagas() const;
    // The typed characters of a shown text: its separators dropped and what no slot takes.
    std::string Digitados(const std::string& texto) const;
    // The text shown for the typed characters (those beyond the slots dropped).
    std::string Formata(const std::string& digitados) const;
    // The text after a character is typed over the shown one; unchanged when no slot takes it.
    std::string Digita(const std::string& texto, char c) const;
    // The text after the last typed character is erased.
    std::string Apaga(const std::string& texto) const;

private:
    struct Posicao {
        char literal;  // '\0' for a slot
        char tipo;     // the mask's character of a slot
    };
    bool Cabe(size_t vaga, char c) const;
    std::vector<Posicao> posicoes_;
};

}  // namespace kova
