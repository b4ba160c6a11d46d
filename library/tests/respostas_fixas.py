#!/usr/bin/env python3
"""The library's replies, pinned byte for byte.

respostas_fixas.txt holds requests over the shipped tables at a fixed clock and the reply each one
got when the file was last written: unattended requests (kova2), valid and refused, for every state
and revenue of the tables, courier slips, state registrations, import declarations, instalments,
late charges, keys given twice, item counts; and hosted requests (kova) with the person played by
the library's test script, with what that person was shown. A change that alters a reply fails
here until the file is written again in the same commit, with the reason in its message.

    respostas_fixas.py <host (pedidos_fixos)> <shipped Dados> <reply file>
        checks every reply;
    respostas_fixas.py <host> <shipped Dados> <reply file> --grava <table sources (data/)>
        draws the requests anew and writes the file with today's replies.

The file is UTF-8, one request a line, its fields separated by tabs:
    kova2 <TAB> request <TAB> reply <TAB> the reason kova_ultimo_erro gives when the call failed
    kova <TAB> script <TAB> request <TAB> reply <TAB> what the script saw
Inside a field a backslash, a tab, a carriage return and a line feed are written \\\\, \\t, \\r and
\\n; the library's texts are Windows-1252 and are compared as those bytes.

The unattended requests run in one host, the hosted ones in another, each a fresh load of the
library on its own copy of the tables: a slip's number in a hosted reply counts the hosted slips
only. No reply may hold the English texts that once reached people."""
import csv
import datetime
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import requisicoes_lote as lote  # noqa: E402
from ordem_dos_itens import di as declaracao  # noqa: E402

MOMENTO = '15/06/2026 10:00:00'
HOJE = datetime.date(2026, 6, 15)
CABECALHO = ('# Replies of the library at %s over the shipped tables (library/tests/respostas_fixas.py).\n'
             '# A change of a reply rewrites this file in the same commit and says why in its message.\n'
             % MOMENTO)


# ------------------------------------------------------------------ the file

def escapa(b):
    """Bytes of the library (Windows-1252) as a field of the file."""
    t = b.decode('cp1252', errors='surrogateescape')
    r = []
    for ch in t:
        if ch == '\\':
            r.append('\\\\')
        elif ch == '\t':
            r.append('\\t')
        elif ch == '\r':
            r.append('\\r')
        elif ch == '\n':
            r.append('\\n')
        elif '\udc80' <= ch <= '\udcff':
            r.append('\\x%02x' % (ord(ch) - 0xdc00))
        else:
            r.append(ch)
    return ''.join(r)


def desescapa(t):
    """A field of the file as the library's bytes."""
    r = bytearray()
    i = 0
    while i < len(t):
        ch = t[i]
        if ch == '\\' and i + 1 < len(t):
            n = t[i + 1]
            if n == 'x':
                r.append(int(t[i + 2:i + 4], 16))
                i += 4
                continue
            r += {'\\': b'\\', 't': b'\t', 'r': b'\r', 'n': b'\n'}[n]
            i += 2
            continue
        r += ch.encode('cp1252', errors='surrogateescape')
        i += 1
    return bytes(r)


def le_arquivo(caminho):
    casos = []
    with open(caminho, encoding='utf-8') as f:
        for linha in f:
            linha = linha.rstrip('\n')
            if not linha or linha.startswith('#'):
                continue
            partes = linha.split('\t')
            if partes[0] == 'kova2' and len(partes) == 4:
                casos.append(('kova2', '', desescapa(partes[1]), desescapa(partes[2]),
                              desescapa(partes[3])))
            elif partes[0] == 'kova' and len(partes) == 5:
                casos.append(('kova', partes[1], desescapa(partes[2]), desescapa(partes[3]),
                              desescapa(partes[4])))
            else:
                raise SystemExit('linha que não é um caso: ' + linha[:120])
    return casos


def grava_arquivo(caminho, casos):
    with open(caminho, 'w', encoding='utf-8', newline='\n') as f:
        f.write(CABECALHO)
        for tipo, roteiro, pedido, resposta, relato in casos:
            if tipo == 'kova2':
                f.write('kova2\t%s\t%s\t%s\n' % (escapa(pedido), escapa(resposta), escapa(relato)))
            else:
                f.write('kova\t%s\t%s\t%s\t%s\n' % (roteiro, escapa(pedido), escapa(resposta),
                                                    escapa(relato)))


# ------------------------------------------------------------------ running them

def responde(hospedeiro, dados, casos):
    """The replies the library gives today: each kind of request in a host of its own
    (pedidos_fixos), on its own copy of the tables."""
    trabalho = tempfile.mkdtemp(prefix='kova-fixas-')
    try:
        respostas = []
        for tipo in ('kova2', 'kova'):
            deste = [c for c in casos if c[0] == tipo]
            pasta = os.path.join(trabalho, tipo)
            shutil.copytree(dados, os.path.join(pasta, 'Dados'))
            win = os.path.join(pasta, 'win')
            os.mkdir(win)
            with open(os.path.join(win, 'KOVA.INI'), 'w') as f:
                f.write('[KOVA]\r\nDirDados=%s/Dados\r\nPastaImpressao=%s\r\n' % (pasta, pasta))
            entrada, saida = os.path.join(pasta, 'pedidos'), os.path.join(pasta, 'respostas')
            with open(entrada, 'wb') as f:
                for _, roteiro, pedido, _, _ in deste:
                    f.write(tipo.encode() + b'\t' + (roteiro.encode() + b'\t' if tipo == 'kova' else b'') +
                            pedido + b'\n')
            ambiente = dict(os.environ, KOVA_WINDIR=win, KOVA_SYSDIR=win, QT_QPA_PLATFORM='offscreen',
                            CUPS_SERVER='/nonexistent/kova-sem-impressora.sock', LC_ALL='C.UTF-8',
                            QT_LOGGING_RULES='*.warning=false')
            subprocess.run([hospedeiro, MOMENTO, entrada, saida], env=ambiente, check=True)
            with open(saida, encoding='cp1252', errors='surrogateescape', newline='') as f:
                linhas = f.read().split('\n')[:-1]
            if len(linhas) != len(deste):
                raise SystemExit('%d respostas para %d pedidos' % (len(linhas), len(deste)))
            for (_, roteiro, pedido, _, _), linha in zip(deste, linhas):
                resposta, extra = linha.split('\t')
                respostas.append((tipo, roteiro, pedido, desescapa(resposta), desescapa(extra)))
        return respostas
    finally:
        shutil.rmtree(trabalho, ignore_errors=True)


# Words of the English texts that once reached people: a refusal speaks Portuguese.
INGLES = (' is not ', ' does not ', 'not found', 'Cannot ', 'Could not ', ' invalid', 'period ')


def em_ingles(casos):
    return [c for c in casos if any(w.encode() in c[3] + c[4] for w in INGLES)]


# ------------------------------------------------------------------ the requests

def data(d):
    return d.strftime('%d/%m/%Y')


def autuacao_rs(g):
    """A document of Rio Grande do Sul's infraction notices: a year up to 2010, a number, and the
    check digit of weights 2 to 10 from the right."""
    base = '%04d%05d' % (g.randrange(1990, 2011), g.randrange(10 ** 5))
    soma, peso = 0, 2
    for d in reversed(base):
        soma += int(d) * peso
        peso = 2 if peso >= 10 else peso + 1
    return base + ('0' if soma % 11 < 2 else str(11 - soma % 11))


class Tabelas:
    def __init__(self, pasta):
        self.ufs = [r['UF'] for r in lote.le(pasta, 'UF')]
        self.receitas = {r['Codigo']: r for r in lote.le(pasta, 'Receita')}
        self.regras = {}
        for r in lote.le(pasta, 'UFReceita'):
            self.regras[(r['UF'], r['Receita'], r['Flag'])] = r['Texto']
        self.produtos = {}
        for r in lote.le(pasta, 'UFProduto'):
            self.produtos.setdefault((r['UF'], r['Receita']), []).append(r['Produto'])
        self.subreceitas = {}
        for r in lote.le(pasta, 'SubReceita'):
            self.subreceitas.setdefault(r['Codigo'], []).append(r['SubReceita'])
        self.combinacoes = sorted({(r['UF'], r['Receita']) for r in lote.le(pasta, 'UFReceita')
                                   if r['Receita'] != '000000'})

    def regra(self, uf, receita, flag):
        return self.regras.get((uf, receita, flag))

    def tipo(self, uf, receita):
        re_ = self.regra(uf, receita, 'RE')
        t = re_ if re_ is not None else self.receitas.get(receita, {}).get('Referencia', '')
        return t[:1].upper()


def junta(itens):
    return ';'.join('%s=%s' % kv for kv in itens)


def base(t, g, uf, receita, vencimento=datetime.date(2026, 6, 22)):
    """Items of a slip of the state and revenue that its reference kind, its "VL" switches, its
    sub-code and product would take; the document of origin is the caller's."""
    vl = t.regra(uf, receita, 'VL') or ''
    chave = lambda p: len(vl) >= p and vl[p - 1] == 'S'  # noqa: E731
    multa = 100 if chave(7) else 0
    juros = 50 if chave(8) else 0
    principal = 0 if chave(6) and multa else g.randrange(100, 99999)
    itens = [('UFFAVORECIDA', uf), ('RECEITA', receita),
             ('CICCONTRIBUINTE', lote.cnpj(g) if g.random() < 0.7 else lote.cpf(g))]
    tipo = t.tipo(uf, receita)
    if tipo == 'D':
        itens.append(('REFERENCIA', '1052026'))
    elif tipo == 'P':
        itens.append(('REFERENCIA', '001'))
    itens += [('VALORPRINCIPAL', '%d,%02d' % divmod(principal, 100)),
              ('JUROS', '%d,%02d' % divmod(juros, 100)), ('MULTA', '%d,%02d' % divmod(multa, 100)),
              ('TOTALRECOLHER', '%d,%02d' % divmod(principal + juros + multa, 100)),
              ('DATAVENCIMENTO', data(vencimento)), ('RAZAOSOCIAL', 'EMPRESA %d LTDA' % g.randrange(999)),
              ('ENDERECO', 'RUA A, %d' % g.randrange(1, 999)), ('MUNICIPIO', 'CIDADE'),
              ('UF', 'RJ' if uf == 'SP' else 'SP'), ('CEP', '13010-000')]
    if uf == 'GO' and receita == '100048':
        itens.append(('INSCRICAOESTADUAL', '123456797'))
    sr = t.regra(uf, receita, 'SR')
    if sr and len(sr.split()) > 1:
        itens.append(('SUBRECEITA', sr.split()[1]))
    if (uf, receita) in t.produtos:
        itens.append(('PRODUTO', t.produtos[(uf, receita)][0]))
    return itens


def com(itens, **troca):
    """The items with some values replaced (None takes the item out) or added at the end."""
    r = [(k, troca.pop(k)) if k in troca else (k, v) for k, v in itens]
    r = [(k, v) for k, v in r if v is not None]
    return r + [(k, v) for k, v in troca.items() if v is not None]


def pedidos_kova2(t, fontes):
    g = random.Random(20261210)
    pedidos = []
    # Every state with every revenue: with a document, without one, with a declaration.
    for uf in t.ufs:
        for receita in sorted(t.receitas):
            itens = base(t, g, uf, receita)
            pedidos.append(junta(itens + [('DOCUMENTOORIGEM', '1234567890')]))
            pedidos.append(junta(itens))
            pedidos.append(junta(itens + [('DOCUMENTOORIGEM', declaracao(2026, g.randrange(10 ** 6)))]))
    # Courier companies: the four of the table, unknown ones, codes that are no number, and a revenue
    # that is not the import's.
    for uf in t.ufs:
        itens = base(t, g, uf, '100056') + [('DOCUMENTOORIGEM', declaracao(2026, g.randrange(10 ** 6)))]
        for courier in ['1', '05', '7', '12', '9', '99', 'x', '5a', ' 5', '007']:
            pedidos.append(junta(itens + [('EMPRESACOURIER', courier)]))
        pedidos.append(junta([('EMPRESACOURIER', '05')] + itens))
        pedidos.append(junta(base(t, g, uf, '100013') + [('DOCUMENTOORIGEM', '123'), ('EMPRESACOURIER', '5')]))
    # State registrations of every state, valid and not, with "ISENTO".
    with open(os.path.join(fontes, '..', 'inscricao', 'tests', 'ie_vectors.csv'), encoding='utf-8') as f:
        vetores = list(csv.DictReader(f))
    for v in g.sample(vetores, 400):
        itens = base(t, g, v['uf'], '100013') + [('DOCUMENTOORIGEM', '123')]
        pedidos.append(junta(itens + [('INSCRICAOESTADUAL', v['number'])]))
    for uf in t.ufs:
        pedidos.append(junta(base(t, g, uf, '100013') + [('DOCUMENTOORIGEM', '123'),
                                                          ('INSCRICAOESTADUAL', g.choice(['ISENTO', 'isento', '0']))]))
    # Import declarations: DI and DSI of the reference's year and of others, wrong check digits,
    # wrong lengths, references of other years.
    for uf in ['SP', 'RJ', 'BA', 'MG', 'ES', 'SC', 'PR', 'GO']:
        for ano_doc in [2024, 2025, 2026, 2027, 1990]:
            for ano_ref in [2025, 2026]:
                for dsi in [False, True]:
                    doc = declaracao(ano_doc, g.randrange(10 ** 6), dsi)
                    itens = com(base(t, g, uf, '100056'), REFERENCIA='1%02d%d' % (g.randrange(1, 13), ano_ref))
                    pedidos.append(junta(itens + [('DOCUMENTOORIGEM', doc)]))
        for doc in ['2600000000', '260000001', '26000000011', '426000000', '4260000001X', 'DI2600001']:
            pedidos.append(junta(base(t, g, uf, '100056') + [('DOCUMENTOORIGEM', doc)]))
    # Instalments: the revenues read as instalments and what hosts send as numbers.
    for parcela in ['001', '1', '0005', '999', '1000', '0', '-1', 'abc', '12a', '1052026', '', '0010', '01',
                    '+5', ' 7']:
        itens = com(base(t, g, 'RS', '100064'), REFERENCIA=parcela)
        pedidos.append(junta(itens + [('DOCUMENTOORIGEM', autuacao_rs(g))]))
        pedidos.append(junta(itens + [('DOCUMENTOORIGEM', '1234567890')]))
    # Periods: digits each periodicity has and lacks, months and years out of range, future ones.
    for uf in ['ES', 'MG', 'BA', 'PB', 'RS', 'CE', 'SP', 'SC', 'TO']:
        for referencia in ['1052026', '2052026', '3052026', '4052026', '0052026', '5052026', '1132026',
                           '1002026', '1051970', '1062026', '1072026', '3062026', '105202', '10520261']:
            itens = com(base(t, g, uf, '100013'), REFERENCIA=referencia)
            pedidos.append(junta(itens + [('DOCUMENTOORIGEM', '123')]))
    # Late charges: due dates around today, payments after them, with and without charges, in the
    # states whose rules judge them.
    for uf, receita in [('SP', '100013'), ('AC', '100013'), ('GO', '100072'), ('PR', '100072'),
                        ('RJ', '100056'), ('MG', '100048'), ('SP', '100064'), ('PR', '100129'),
                        ('RJ', '500011'), ('CE', '100013'), ('BA', '100013')]:
        for _ in range(40):
            vencimento = HOJE + datetime.timedelta(days=g.randrange(-30, 20))
            itens = base(t, g, uf, receita, vencimento)
            if receita == '100056':
                itens.append(('DOCUMENTOORIGEM', declaracao(2026, g.randrange(10 ** 6))))
            else:
                itens.append(('DOCUMENTOORIGEM', '1234567890'))
            principal = int(dict(itens)['VALORPRINCIPAL'].replace(',', ''))
            cargas = {k: g.choice([0, 0, g.randrange(1, 5000)]) for k in ('JUROS', 'MULTA', 'ATUALIZACAOMONETARIA')}
            troca = {k: '%d,%02d' % divmod(v, 100) for k, v in cargas.items()}
            troca['TOTALRECOLHER'] = '%d,%02d' % divmod(principal + sum(cargas.values()), 100)
            if g.random() < 0.7:
                troca['DATAPAGAMENTO'] = data(vencimento + datetime.timedelta(days=g.randrange(-3, 15)))
            pedidos.append(junta(com(itens, **troca)))
    # Keys given twice: the last value counts, whichever of them is wrong.
    for _ in range(250):
        uf, receita = g.choice(t.combinacoes)
        itens = base(t, g, uf, receita) + [('DOCUMENTOORIGEM', '1234567890')]
        k, v = g.choice(itens)
        outro = g.choice(['', 'X', '0', '12345678901', '22/06/2026', '100,00', 'SP', v])
        i = g.randrange(len(itens) + 1)
        itens.insert(i, (k, outro) if g.random() < 0.5 else (k, v))
        if g.random() < 0.5:
            itens.append((k, outro))
        pedidos.append(junta(itens))
    # Item counts, keys in lower case, blanks before keys, unknown keys, a final ";".
    itens = base(t, g, 'SP', '100013') + [('DOCUMENTOORIGEM', '123')]
    for n in [1, 4, 5, 6, 24, 25, 26, 30]:
        extra = [('NADA%d' % i, 'x') for i in range(max(0, n - len(itens)))]
        pedidos.append(junta((itens + extra)[:n]))
        pedidos.append(junta((itens + extra)[:n]) + ';')
    pedidos.append(junta([(k.lower(), v) for k, v in itens]))
    pedidos.append(';'.join(' %s=%s' % kv for kv in itens))
    pedidos.append(junta(itens) + ';;;')
    pedidos.append('')
    # What host programs send, mistakes included, until there are enough.
    while len(pedidos) < 5600:
        pedidos.append(lote.requisicao(g, t.combinacoes, t.produtos, t.subreceitas))
    return pedidos


def pedidos_kova(t):
    """Hosted requests and the person's part in each."""
    g = random.Random(20261211)
    casos = []
    roteiros = ['confirma|salvar', 'recusa|salvar', 'desfazer', 'escape', 'fechar', 'abertas|desfazer',
                'salvar', 'confirma|sim|salvar', 'confirma|nao|salvar', 'confirma|confirma|salvar']
    for uf, receita in [('SP', '100013'), ('RJ', '100056'), ('BA', '100099'), ('MG', '100048'),
                        ('PB', '100080'), ('GO', '100048'), ('RS', '100064'), ('CE', '100013'),
                        ('AP', '100013'), ('ES', '100013')]:
        itens = base(t, g, uf, receita) + [('DOCUMENTOORIGEM', declaracao(2026, 1234) if receita == '100056'
                                            else '1234567890')]
        for roteiro in roteiros:
            casos.append((roteiro, junta(itens)))
        casos.append(('confirma|salvar', junta(com(itens, DATAVENCIMENTO=None))))
        casos.append(('confirma|salvar', junta(com(itens, CICCONTRIBUINTE='12345678901'))))
        casos.append(('confirma|salvar', junta(itens + [('EMPRESACOURIER', '05'), ('DATAPAGAMENTO', '30/06/2026'),
                                                         ('TOTALRECOLHER', '1,00')])))
    casos.append(('desfazer', ''))
    casos.append(('confirma|salvar', 'UFFAVORECIDA=SP;RECEITA=100013'))
    return casos


def main():
    hospedeiro, dados, arquivo = sys.argv[1:4]
    if len(sys.argv) > 4 and sys.argv[4] == '--grava':
        t = Tabelas(sys.argv[5])
        casos = [('kova2', '', p.encode('cp1252'), b'', b'') for p in pedidos_kova2(t, sys.argv[5])]
        casos += [('kova', r, p.encode('cp1252'), b'', b'') for r, p in pedidos_kova(t)]
        hoje = responde(hospedeiro, dados, casos)
        for c in em_ingles(hoje):
            print('EM INGLÊS: %s -> %s %s' % (escapa(c[2]), escapa(c[3]), escapa(c[4])))
        grava_arquivo(arquivo, hoje)
        print('%d casos gravados em %s' % (len(casos), arquivo))
        return 0

    fixos = le_arquivo(arquivo)
    hoje = responde(hospedeiro, dados, fixos)
    diferentes = [(f, h) for f, h in zip(fixos, hoje) if f[3:] != h[3:]]
    for f, h in diferentes[:10]:
        print('PEDIDO   %s %s %s' % (f[0], f[1], escapa(f[2])))
        print('  FIXADA %s | %s' % (escapa(f[3]), escapa(f[4])))
        print('  HOJE   %s | %s' % (escapa(h[3]), escapa(h[4])))
    ingles = em_ingles(hoje)
    for c in ingles[:10]:
        print('EM INGLÊS: %s -> %s %s' % (escapa(c[2]), escapa(c[3]), escapa(c[4])))
    n2 = sum(1 for f in fixos if f[0] == 'kova2')
    print('%d pedidos (%d kova2, %d kova), %d respostas diferentes das fixadas' % (
        len(fixos), n2, len(fixos) - n2, len(diferentes)))
    return 1 if diferentes or ingles else 0


if __name__ == '__main__':
    sys.exit(main())
