#!/usr/bin/env python3
"""Writes a fixed set of kova2 requests over the shipped data, one a line in Windows-1252: slips
that pass and slips that each rule refuses, for every state and revenue of the shipped tables,
with the mistakes host programs make (keys in lower case, missing items, amounts with too many
decimals, dates that do not exist, texts too long). The same seed always gives the same set.

    requisicoes_lote.py <folder of the table sources (data/)> <count> [dd/mm/yyyy] > requests.txt

The dates are chosen around 15/06/2026, the moment the comparison sets the library's clock to, or
around the day given (a test of the shipped library, whose clock is the system's, gives today)."""
import csv
import datetime
import random
import sys

HOJE = datetime.date(2026, 6, 15)


def digito(numeros, pesos):
    r = sum(int(n) * p for n, p in zip(numeros, pesos)) % 11
    return '0' if r < 2 else str(11 - r)


def cnpj(g):
    base = '%08d0001' % g.randrange(10000000, 99999999)
    d1 = digito(base, [5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2])
    return base + d1 + digito(base + d1, [6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2])


def cpf(g):
    base = '%09d' % g.randrange(100000000, 999999999)
    d1 = digito(base, range(10, 1, -1))
    return base + d1 + digito(base + d1, range(11, 1, -1))


def valor(g, casas=2):
    inteiro = g.randrange(0, 20000)
    if casas == 2:
        return '%d,%02d' % (inteiro, g.randrange(100))
    return '%d,%0*d' % (inteiro, casas, g.randrange(10 ** casas))


def data(d):
    return d.strftime('%d/%m/%Y')


def le(pasta, nome):
    with open('%s/%s.csv' % (pasta, nome), encoding='utf-8') as f:
        return list(csv.DictReader(f, delimiter=';'))


def requisicao(g, combinacoes, produtos, subreceitas):
    uf, receita = g.choice(combinacoes)
    if g.random() < 0.35:
        uf, receita = 'SP', '100013'
    vencimento = HOJE + datetime.timedelta(days=g.randrange(-40, 60))
    mes = (HOJE.replace(day=1) - datetime.timedelta(days=g.choice([1, 1, 1, 40, 400]))).replace(day=1)
    principal = valor(g)
    itens = [
        ('VERSAO', '1'),
        ('UFFAVORECIDA', uf),
        ('RECEITA', receita),
        ('CICCONTRIBUINTE', cnpj(g) if g.random() < 0.7 else cpf(g)),
        ('DOCUMENTOORIGEM', str(g.randrange(10 ** 9, 10 ** 10))),
        ('REFERENCIA', '1%02d%04d' % (mes.month, mes.year)),
        ('VALORPRINCIPAL', principal),
        ('DATAVENCIMENTO', data(vencimento)),
        ('RAZAOSOCIAL', g.choice(['EMPRESA DE TESTE LTDA', 'Açúcar & Café São João ME', 'COMÉRCIO ÍNDIO ÔMEGA'])),
        ('ENDERECO', 'RUA DAS FLORES, %d' % g.randrange(1, 2000)),
        ('MUNICIPIO', g.choice(['CAMPINAS', 'São Paulo', 'RIO BRANCO', 'MACEIÓ'])),
        ('UF', g.choice([uf, uf, 'SP', 'rj'])),
        ('CEP', '%05d-%03d' % (g.randrange(1000, 99999), g.randrange(1000))),
        ('TELEFONE', str(g.randrange(10 ** 9, 10 ** 10))),
    ]
    if g.random() < 0.5:
        juros, multa = valor(g), valor(g)
        itens += [('JUROS', juros), ('MULTA', multa)]
        if g.random() < 0.6:
            total = sum(int(v.replace(',', '')) for v in (principal, juros, multa))
            itens.append(('TOTALRECOLHER', '%d,%02d' % divmod(total, 100)))
    if g.random() < 0.2:
        itens.append(('ATUALIZACAOMONETARIA', valor(g, g.choice([2, 3, 4]))))
    if g.random() < 0.3:
        itens.append(('DATAPAGAMENTO', data(vencimento + datetime.timedelta(days=g.randrange(-5, 10)))))
    if (uf, receita) in produtos and g.random() < 0.8:
        itens.append(('PRODUTO', g.choice(produtos[(uf, receita)])))
    elif g.random() < 0.1:
        itens.append(('PRODUTO', str(g.randrange(100))))
    if receita in subreceitas and g.random() < 0.8:
        itens.append(('SUBRECEITA', g.choice(subreceitas[receita])))
    if g.random() < 0.15:
        itens.append(('INSCRICAOESTADUAL', str(g.randrange(10 ** 8, 10 ** 12))))
    if g.random() < 0.1:
        itens.append(('EMPRESACOURIER', g.choice(['1', '05', '7', '12', '99', 'x'])))
    if g.random() < 0.1:
        itens.append(('CONVENIO', g.choice(['X', '123', ''])))
    if g.random() < 0.1:
        itens.append(('INFORMACOES', 'Pedido %d - entregue em mãos' % g.randrange(10 ** 6)))

    # The mistakes of host programs.
    estrago = g.random()
    if estrago < 0.05:
        itens = itens[:g.randrange(1, 5)]
    elif estrago < 0.10:
        i = g.randrange(len(itens))
        itens[i] = (itens[i][0], 'X' * g.randrange(250, 300))
    elif estrago < 0.15:
        itens = [('DATAVENCIMENTO', g.choice(['31/02/2026', '00/01/2026', '15-06-2026', '29/02/2028']))
                 if k == 'DATAVENCIMENTO' else (k, v) for k, v in itens]
    elif estrago < 0.20:
        itens = [(k, g.choice(['-1,00', 'abc', '1.234,56', '99999999999,99', '0,005'])) if k == 'VALORPRINCIPAL'
                 else (k, v) for k, v in itens]
    elif estrago < 0.25:
        g.shuffle(itens)
    elif estrago < 0.30:
        itens += [('JUROS', valor(g)), ('NADA', '1'), ('VALORPRINCIPAL', valor(g))] * 4
    texto = []
    for k, v in itens:
        chave = k.lower() if g.random() < 0.05 else k
        texto.append((' ' if g.random() < 0.02 else '') + chave + '=' + v)
    return ';'.join(texto) + (';' if g.random() < 0.2 else '')


def main():
    global HOJE
    pasta, total = sys.argv[1], int(sys.argv[2])
    if len(sys.argv) > 3:
        HOJE = datetime.datetime.strptime(sys.argv[3], '%d/%m/%Y').date()
    combinacoes = sorted({(r['UF'], r['Receita']) for r in le(pasta, 'UFReceita') if r['Receita'] != '000000'})
    produtos, subreceitas = {}, {}
    for r in le(pasta, 'UFProduto'):
        produtos.setdefault((r['UF'], r['Receita']), []).append(r['Produto'])
    for r in le(pasta, 'SubReceita'):
        subreceitas.setdefault(r['Codigo'], []).append(r['SubReceita'])
    g = random.Random(20261209)
    saida = sys.stdout.buffer
    for _ in range(total):
        saida.write((requisicao(g, combinacoes, produtos, subreceitas) + '\n').encode('cp1252'))


if __name__ == '__main__':
    main()
