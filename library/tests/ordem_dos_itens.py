#!/usr/bin/env python3
"""The reply of kova2 depends on the items of a request, not on their order.

Over the shipped tables, 2,000 and more requests (the fixed set of requisicoes_lote.py, slips that
every state accepts, and the cases that were once issued or refused by the order of their items)
are each sent in their own order and in five random others. A long-lived host sends every order of
every request, mixed together; fresh hosts, one after another, each send a share of the requests
in yet another order. Every order of a request must get the same reply, byte for byte, in every
host. Items of one key keep their order among themselves: of a key given twice the last value
counts by definition.

    ordem_dos_itens.py <host program> <library> <table sources (data/)> <shipped Dados>
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import requisicoes_lote as lote  # noqa: E402

MOMENTO = '15/06/2026 10:00:00'
ORDENS = 5
HOSPEDEIROS_NOVOS = 8


def chave(item):
    """The key an item is known by, or None (an item with a leading blank, or without "=")."""
    if item.startswith(' ') or '=' not in item:
        return None
    return item.split('=', 1)[0].upper()


def outra_ordem(g, itens):
    """The items shuffled, those of one key kept in their own order."""
    posicoes = list(range(len(itens)))
    g.shuffle(posicoes)
    fila = {}
    for i in sorted(posicoes):
        fila.setdefault(chave(itens[i]) or i, []).append(itens[i])
    return [fila[chave(itens[i]) or i].pop(0) for i in posicoes]


def validas(g, ufs):
    """Slips each state accepts: revenue 10001-3 with a period of May, a Monday or Tuesday after it."""
    vencimentos = ['22/06/2026', '23/06/2026', '29/06/2026', '30/06/2026', '06/07/2026']
    for uf in ufs:
        for _ in range(12):
            principal, juros, multa = g.randrange(1, 99999), g.choice([0, g.randrange(1, 999)]), g.randrange(0, 500)
            itens = [
                'UFFAVORECIDA=' + uf, 'RECEITA=100013',
                'CICCONTRIBUINTE=' + (lote.cnpj(g) if g.random() < 0.7 else lote.cpf(g)),
                'DOCUMENTOORIGEM=%d' % g.randrange(10 ** 9, 10 ** 10), 'REFERENCIA=1052026',
                'VALORPRINCIPAL=%d,%02d' % divmod(principal, 100), 'JUROS=%d,%02d' % divmod(juros, 100),
                'MULTA=%d,%02d' % divmod(multa, 100), 'TOTALRECOLHER=%d,%02d' % divmod(principal + juros + multa, 100),
                'DATAVENCIMENTO=' + g.choice(vencimentos), 'RAZAOSOCIAL=EMPRESA %d' % g.randrange(1000),
                'ENDERECO=RUA A', 'MUNICIPIO=CIDADE', 'UF=' + ('RJ' if uf == 'SP' else 'SP'), 'CEP=13010-000',
            ]
            if g.random() < 0.3:
                itens.append('TELEFONE=1999999999')
            yield ';'.join(itens)


def modulo11(digitos):
    """The check digit of the declarations: weights 2 to 9 from the right, again from 2."""
    soma = sum(int(d) * (2 + i % 8) for i, d in enumerate(reversed(digitos)))
    return '0' if soma % 11 < 2 else str(11 - soma % 11)


def di(ano, sequencia, simplificada=False):
    """A declaration of the year: a DI of 10 characters, or a simplified DSI of 11."""
    base = '%02d%07d' % (ano % 100, sequencia)
    if simplificada:
        return '4' + base + modulo11('4' + base)
    return base + modulo11('2' + base)


def casos_nomeados():
    """Requests once issued or refused by the order of their items, and what every order must get."""
    resto = ('CICCONTRIBUINTE=11222333000181;VALORPRINCIPAL=100,00;TOTALRECOLHER=100,00;'
             'DATAVENCIMENTO=22/06/2026;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=RIO;UF=SP;CEP=20010-000')
    rr = ('UFFAVORECIDA=RR;RECEITA=600016;CICCONTRIBUINTE=11222333000181;VALORPRINCIPAL=100,00;JUROS=5,00;'
          'TOTALRECOLHER=100,00;DATAVENCIMENTO=22/06/2026;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=BOA VISTA;'
          'UF=SP;CEP=69300-000')
    pb = ('UFFAVORECIDA=PB;RECEITA=100080;SUBRECEITA=13;CICCONTRIBUINTE=11144477735;REFERENCIA=1052026;'
          'VALORPRINCIPAL=100,00;TOTALRECOLHER=100,00;DATAVENCIMENTO=22/06/2026;RAZAOSOCIAL=EMPRESA;'
          'ENDERECO=RUA A;MUNICIPIO=JOAO PESSOA;UF=SP;CEP=58010-000')
    return [
        (rr, 'Retorno=001;Mensagem_Retorno=[Erro: 114] '),
        (pb, 'Retorno=001;Mensagem_Retorno=Receita 10008-0 não pode ser recolhida com CPF na Paraíba.'),
        ('UFFAVORECIDA=SP;RECEITA=100056;REFERENCIA=1052026;DOCUMENTOORIGEM=%s;%s' % (di(2024, 1), resto),
         'Retorno=001;Mensagem_Retorno=[Erro: 149] Ano da DI incompatível com o Ano de Referência'),
        ('UFFAVORECIDA=SP;RECEITA=100056;REFERENCIA=1052026;DOCUMENTOORIGEM=%s;%s' % (di(2024, 1, True), resto),
         'Retorno=001;Mensagem_Retorno=[Erro: 151] Ano da DSI incompatível com o Ano de Referência'),
        ('UFFAVORECIDA=SP;RECEITA=100056;REFERENCIA=1051990;DOCUMENTOORIGEM=%s;%s' % (di(1990, 1), resto),
         'Retorno=001;Mensagem_Retorno=[Erro: 79] '),
        ('UFFAVORECIDA=SP;RECEITA=100013;DOCUMENTOORIGEM=123;REFERENCIA=1052026;%s;DATAVENCIMENTO=20/06/2026'
         % resto.replace(';DATAVENCIMENTO=22/06/2026', ''),
         'Retorno=001;Mensagem_Retorno=[Erro: 138] A Data de Vencimento não pode ser em Final de Semana'),
        ('UFFAVORECIDA=RJ;RECEITA=100030;DOCUMENTOORIGEM=CTE4455;REFERENCIA=1052026;' + resto,
         'Retorno=001;Mensagem_Retorno=[Erro: 30] Informe apenas campo numérico no documento origem'),
        ('DATAVENCIMENTO=22/06/2026;DOCUMENTOORIGEM=123;UFFAVORECIDA=SP;RECEITA=100013;REFERENCIA=1052026;'
         + resto.replace(';DATAVENCIMENTO=22/06/2026', ''), None),
    ]


def main():
    hospedeiro, biblioteca, fontes, dados = sys.argv[1:5]
    g = random.Random(34)
    combinacoes = sorted({(r['UF'], r['Receita']) for r in lote.le(fontes, 'UFReceita') if r['Receita'] != '000000'})
    produtos, subreceitas = {}, {}
    for r in lote.le(fontes, 'UFProduto'):
        produtos.setdefault((r['UF'], r['Receita']), []).append(r['Produto'])
    for r in lote.le(fontes, 'SubReceita'):
        subreceitas.setdefault(r['Codigo'], []).append(r['SubReceita'])
    ufs = [r['UF'] for r in lote.le(fontes, 'UF')]

    nomeados = casos_nomeados()
    pedidos = [p for p, _ in nomeados] + list(validas(g, ufs))
    while len(pedidos) < 2000:
        pedidos.append(lote.requisicao(g, combinacoes, produtos, subreceitas))

    # Each request in its own order and in five others; the final ";" stays where it was.
    ordens = []
    for p in pedidos:
        final = ';' if p.endswith(';') else ''
        itens = (p[:-1] if final else p).split(';')
        ordens.append([p] + [';'.join(outra_ordem(g, itens)) + final for _ in range(ORDENS)])

    trabalho = tempfile.mkdtemp(prefix='kova-ordem-')
    try:
        shutil.copytree(dados, os.path.join(trabalho, 'Dados'))
        os.mkdir(os.path.join(trabalho, 'win'))
        with open(os.path.join(trabalho, 'win', 'KOVA.INI'), 'w') as f:
            f.write('[KOVA]\r\nDirDados=%s/Dados\r\n' % trabalho)
        ambiente = dict(os.environ, KOVA_WINDIR=os.path.join(trabalho, 'win'),
                        KOVA_SYSDIR=os.path.join(trabalho, 'win'))

        def responde(nome, linhas):
            entrada, saida = os.path.join(trabalho, nome + '.txt'), os.path.join(trabalho, nome + '.resp')
            with open(entrada, 'wb') as f:
                f.write(b''.join(l.encode('cp1252') + b'\n' for l in linhas))
            subprocess.run([hospedeiro, biblioteca, entrada, saida, MOMENTO], env=ambiente, check=True,
                           stdout=subprocess.DEVNULL)
            with open(saida, 'rb') as f:
                return [l.decode('cp1252') for l in f.read().split(b'\n')[:-1]]

        # The long-lived host: every order of every request, mixed.
        todas = [(i, o) for i, deste in enumerate(ordens) for o in deste]
        g.shuffle(todas)
        respostas = {}
        for (i, _), r in zip(todas, responde('longa', [o for _, o in todas])):
            respostas.setdefault(i, []).append(r)
        # Fresh hosts: each answers its share, in one more order, the requests taken backwards.
        for h in range(HOSPEDEIROS_NOVOS):
            parte = list(range(h, len(pedidos), HOSPEDEIROS_NOVOS))[::-1]
            linhas = [';'.join(outra_ordem(g, ordens[i][0].rstrip(';').split(';'))) for i in parte]
            for i, r in zip(parte, responde('nova%d' % h, linhas)):
                respostas[i].append(r)

        falhas = 0
        for i, rs in sorted(respostas.items()):
            if len(set(rs)) != 1:
                falhas += 1
                if falhas <= 5:
                    print('ORDEM MUDOU A RESPOSTA de', pedidos[i])
                    for r in sorted(set(rs)):
                        print('   ', r)
        for i, (_, esperado) in enumerate(nomeados):
            r = respostas[i][0]
            if (esperado is None and ';Retorno=000;' not in r) or (esperado and not r.startswith(esperado)):
                falhas += 1
                print('CASO', pedidos[i], 'RESPONDEU', r, 'EM VEZ DE', esperado or 'aceita')
        aceitas = {uf for i, rs in respostas.items() if ';Retorno=000;' in rs[0]
                   for uf in [pedidos[i].split('UFFAVORECIDA=')[-1][:2]]}
        if set(ufs) - aceitas:
            falhas += 1
            print('ESTADOS SEM KOVA ACEITA:', sorted(set(ufs) - aceitas))
        total = sum(len(rs) for rs in respostas.values())
        print('%d requisições, %d respostas, %d aceitas, %d falhas' % (
            len(pedidos), total, sum(';Retorno=000;' in rs[0] for rs in respostas.values()), falhas))
        return 1 if falhas else 0
    finally:
        shutil.rmtree(trabalho, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
