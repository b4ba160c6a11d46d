#pragma once
// What a name given as text found last time, remembered by the text's address. The names asked
// for are nearly always literals of the program (or an object's own name), whose address alone
// tells the name; any other text is compared with the name it found before it is trusted. Each
// address falls in a pair of places, so that two names sharing a pair both stay.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace kova {

template <typename T, unsigned Bits>
class TNomesLembrados {
public:
    // The object a fixed text found before, or null.
    T* Fixo(std::string_view nome) const {
        const size_t p = Par(nome.data());
        for (const Lembrado* l : {&lembrados_[p], &lembrados_[p + 1]}) {
            if (l->texto == nome.data() && l->tamanho == nome.size() && l->fixo) return l->objeto;
        }
        return nullptr;
    }

    // The object any text found before, when the object still has that name (nomeDe tells it).
    template <typename NomeDe>
    T* Conferido(std::string_view nome, NomeDe nomeDe) const {
        const size_t p = Par(nome.data());
        for (const Lembrado* l : {&lembrados_[p], &lembrados_[p + 1]}) {
            if (l->texto == nome.data() && l->tamanho == nome.size() && l->objeto &&
                (l->fixo || std::string_view(nomeDe(*l->objeto)) == nome)) {
                return l->objeto;
            }
        }
        return nullptr;
    }

    // The newest name takes the pair's first place; the one there moves to the second.
    void Guarda(std::string_view nome, T* objeto, bool fixo) {
        const size_t p = Par(nome.data());
        lembrados_[p + 1] = lembrados_[p];
        lembrados_[p] = {nome.data(), nome.size(), objeto, fixo};
    }

    void Esquece() {
        for (Lembrado& l : lembrados_) l = Lembrado{};
    }

private:
    struct Lembrado {
        const char* texto = nullptr;
        size_t tamanho = 0;
        T* objeto = nullptr;
        bool fixo = false;  // its text needs no second look
    };

    // The first place of the address's pair.
    static size_t Par(const char* texto) {
        return size_t((reinterpret_cast<uintptr_t>(texto) * 0x9E3779B97F4A7C15ull) >> (64 - Bits)) &
               ~size_t(1);
    }

    Lembrado lembrados_[size_t(1) << Bits];
};

}  // namespace kova
