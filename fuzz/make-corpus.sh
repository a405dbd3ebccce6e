#!/bin/bash
# Writes the seed corpora of fuzz/corpus/<target>/ anew: from samples/, the
# archives of the tests, small texts of every download layout written here,
# the tables the program's own writer makes and places for the name index
# (the table and index targets write those themselves).
#   fuzz/make-corpus.sh [build folder of the fuzz targets]
# The seeds are committed; run this after a change of a target's input
# layout and commit the result.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-fuzz}
corpus="$here/fuzz/corpus"

for target in table index; do
  rm -rf "${corpus:?}/$target" && mkdir -p "$corpus/$target"
  TOPONYX_FUZZ_WRITE_SEEDS="$corpus/$target" "$build/bin/fuzz_$target" > /dev/null
done

python3 - "$here" "$corpus" <<'PY'
import gzip, os, shutil, struct, sys, zipfile

here, corpus = sys.argv[1], sys.argv[2]
samples = os.path.join(here, 'samples')

def fresh(target):
    d = os.path.join(corpus, target)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    return d

def put(folder, name, data):
    if isinstance(data, str):
        data = data.encode('latin-1')
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)

def sample(name):
    return open(os.path.join(samples, name), 'rb').read()

# --- archive: the first byte chooses what the rest is (fuzz/ArchiveFuzz.cpp):
# 0 a ZIP archive, 4 a gzip file, 5 to 10 the data of one entry under one
# method, after a variant byte and two bytes of size.
d = fresh('archive')
zips = [os.path.join(here, 'tests/archive/data', n) for n in ('shrunk.zip', 'reduced.zip', 'imploded.zip')]
zips += [os.path.join(samples, n) for n in ('MT_DECI.zip', 'au.zip')]
for n, path in enumerate(zips):
    data = open(path, 'rb').read()
    base = '%02d-%s' % (n, os.path.basename(path))
    at = data.rfind(b'PK\x05\x06')
    count, = struct.unpack('<H', data[at + 10:at + 12])
    pos, = struct.unpack('<I', data[at + 16:at + 20])
    kept = 0
    for i in range(count):
        rec = data[pos:pos + 46]
        flags, method = struct.unpack('<HH', rec[8:12])
        csize, usize, nlen, elen, clen = struct.unpack('<IIHHH', rec[20:34])
        local, = struct.unpack('<I', rec[42:46])
        pos += 46 + nlen + elen + clen
        if method not in (1, 2, 3, 4, 5, 6) or kept >= 2:
            continue
        lnlen, lelen = struct.unpack('<HH', data[local + 26:local + 30])
        start = local + 30 + lnlen + lelen
        variant = (1 if flags & 2 else 0) | (2 if flags & 4 else 0)
        size = min((usize + 15) // 16, 0xFFFF)
        head = bytes([4 + method, variant, size & 0xFF, size >> 8])
        put(d, '%s.%d.m%d' % (base, i, method), head + data[start:start + csize])
        kept += 1
    # The legacy archives are large: only their entries stand as seeds.
    if len(data) < 4096:
        put(d, base, b'\x00' + data)
put(d, 'gz-nm_taos', b'\x04' + sample('nm_taos.gz'))
put(d, 'gz-two-members', b'\x04' + gzip.compress(b'1\tA\tLake\n') + gzip.compress(b'2\tB\tDam\n'))

# --- readers: the first byte picks the staged file's name (the order of
# kNames in fuzz/ReaderFuzz.cpp), the rest is the file.
names = ['VA_Highland.txt', 'AL_DECI.txt', 'CA_DECI.txt.usa', 'CA', 'ei.txt', '50kgaz2008.txt',
         'gotthard.wpt', 'user.tpx', 'MA.csv', 'hike.gpx', 'NZ.txt', 'other.dat',
         'doc.kml', 'places.geojson', 'sheet.csv']
def seed(folder, pick, name, data, choices=names):
    if isinstance(data, str):
        data = data.encode('latin-1')
    put(folder, name, bytes([choices.index(pick)]) + data[:4096])

gazetteer_csv = ('Gaz ID,Feature Name,Class,County,State,Map,Elevation,Latitude,Longitude,Entry Date\r\n'
                 '1,"Walden Pond, The",Lake,Middlesex,Massachusetts,Maynard,,42.4394,-71.3339,x\r\n'
                 '2,"The ""Old"" Mill",Building,Essex,Massachusetts,Salem,12,42.52,-70.9,x\r\n')
open_names = ('osgb1,http://data.ordnancesurvey.co.uk/id/1,"Mumbles, The",eng,Y Mwmbwls,cym,'
              'populatedPlace,Village,260000,188000' + ',' * 24 + '\r\n'
              'osgb3,http://data.ordnancesurvey.co.uk/id/3,Ynys M\xc3\xb4n,cym,,,'
              'other,Island,240000,380000' + ',' * 24 + '\r\n')
open_names_header = ('ID,NAMES_URI,NAME1,NAME1_LANG,NAME2,NAME2_LANG,TYPE,LOCAL_TYPE,GEOMETRY_X,'
                     'GEOMETRY_Y' + ',X' * 24 + '\r\n')
domestic = ('feature_id|feature_name|feature_class|state_name|state_numeric|county_name|'
            'county_numeric|map_name|date_created|date_edited|bgn_type|bgn_authority|'
            'bgn_date|prim_lat_dms|prim_long_dms|prim_lat_dec|prim_long_dec\r\n'
            '2000|H\xc4\x81\xe2\x80\x98ele|Ridge|Hawaii|15|Kauai|007|Haena|x|x|||||||22.09|-159.72\r\n'
            '2001|"Smith, Lake"|Lake|Maine|23|York|031|Alfred|x|x|||||||44.5|-69.2\r\n')
gpx = ('\xef\xbb\xbf<?xml version="1.0" encoding="UTF-8"?>\r\n'
       '<gpx version="1.1" creator="a unit" xmlns="http://www.topografix.com/GPX/1/1">\r\n'
       '<metadata><name>Not a waypoint</name></metadata>\r\n'
       '<wpt lat="-45.000000" lon="170.000000"><ele>1</ele><name>Cairn 100</name>'
       '<type>Summit</type></wpt>\r\n'
       '<wpt lat="47.5" lon="8.25"><name>Caf&#xE9; &amp; Bar</name><sym>Restaurant</sym>'
       '<type><![CDATA[Food & <Drink>]]></type><extensions><name>inner</name></extensions></wpt>\n'
       '<wpt lon="20"><name>No latitude</name></wpt>\n'
       '<rte><rtept lat="1" lon="2"><name>Route point</name></rtept></rte>\n'
       '</gpx>\n')
gns_current = ('rk\tufi\tuni\tfull_name\tnt\tlat_dd\tlong_dd\tefctv_dt\tterm_dt_f\tterm_dt_n\t'
               'desig_cd\tfc\tcc_ft\tadm1\tust_desig\tgeneric\n'
               '1\t-1\t-1\tDublin\tN\t53.333056\t-6.248889\t\t\t\tPPLC\tP\tEI\t33\t\tDublin\n')
geonames_row = ('2986043\tNene\tNene\t\t-11.35954\t-147.04763\tS\tHTL\tCN\t\t20\t\t\t\t0\t\t5\t'
                'Pacific/Tahiti\t2012-01-18\n')
d = fresh('readers')
seed(d, 'VA_Highland.txt', 'gnis-text', sample('VA_Highland.txt'))
seed(d, 'AL_DECI.txt', 'gnis-deci', zipfile.ZipFile(os.path.join(samples, 'MT_DECI.zip')).read('MT_DECI.txt'))
seed(d, 'CA_DECI.txt.usa', 'gnis-usa', gzip.decompress(sample('nm_taos.gz')))
seed(d, 'CA', 'gnis-plain', gzip.decompress(sample('nm_taos.gz')))
seed(d, 'ei.txt', 'gns-older', sample('ei_old.txt'))
seed(d, 'ei.txt', 'gns-current', gns_current)
seed(d, 'VA_Highland.txt', 'gnis-domestic', domestic)
seed(d, '50kgaz2008.txt', 'os-gazetteer', sample('50kgaz2008.txt'))
seed(d, 'gotthard.wpt', 'waypoints', sample('gotthard.wpt'))
for tpx in ('auckland_lookouts.tpx', 'sydney_utm.tpx', 'wellington_nzmg.tpx'):
    seed(d, 'user.tpx', 'tpx-' + tpx[:-4], sample(tpx))
seed(d, 'MA.csv', 'csv-gazetteer', gazetteer_csv)
seed(d, 'MA.csv', 'csv-open-names', open_names)
seed(d, 'hike.gpx', 'gpx', gpx)
seed(d, 'NZ.txt', 'geonames', sample('NZ.txt'))
seed(d, 'NZ.txt', 'geonames-empty-fields', geonames_row)
seed(d, 'NZ.txt', 'geonames-utf16', b'\xff\xfe' + sample('NZ.txt')[:1500].decode('utf-8').encode('utf-16-le'))
seed(d, 'other.dat', 'other', 'no reader for this\n')

kml = ('<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="http://www.opengis.net/kml/2.2" '
       'xmlns:gx="http://www.google.com/kml/ext/2.2"><Document><Folder><name>Huts</name>\n'
       '<Placemark><name><![CDATA[Caf\xc3\xa9 & Hut]]></name><Point><coordinates>170.1,-43.5,0'
       '</coordinates></Point></Placemark>\n'
       '<Placemark><name>Line</name><LineString><coordinates>10,-45 10,-44 10,-40</coordinates>'
       '</LineString></Placemark>\n'
       '<kml:Placemark><kml:name>Lake ring</kml:name><kml:Polygon><kml:outerBoundaryIs><kml:LinearRing>'
       '<kml:coordinates>0,0 10,0 10,10 0,10 0,0</kml:coordinates></kml:LinearRing></kml:outerBoundaryIs>'
       '<kml:innerBoundaryIs><kml:LinearRing><kml:coordinates>4,4 6,4 6,6 4,6 4,4</kml:coordinates>'
       '</kml:LinearRing></kml:innerBoundaryIs></kml:Polygon></kml:Placemark>\n'
       '<Placemark><name>Several</name><MultiGeometry><Point><coordinates>5,6</coordinates></Point>'
       '</MultiGeometry></Placemark>\n'
       '<Placemark><name>Track</name><gx:Track><gx:coord>5 0 5</gx:coord><gx:coord>5 1 5</gx:coord>'
       '</gx:Track></Placemark>\n</Folder></Document></kml>\n')
collection = ('{"type": "FeatureCollection", "features": [\n'
              '{"type":"Feature","properties":{"name":"Point","type":"peak"},"geometry":{"type":"Point",'
              '"coordinates":[170.5,-43.25,1200]}},\n'
              '{"geometry":{"coordinates":[[10,-45],[10,-44]],"type":"LineString"},"properties":'
              '{"NAME":"Line","fclass":"x"},"type":"Feature"},\n'
              '{"type":"Feature","properties":{"Name":"Ring"},"geometry":{"type":"Polygon","coordinates":'
              '[[[0,0],[10,0],[10,10],[0,10],[0,0]],[[4,4],[6,4],[6,6],[4,6],[4,4]]]}},\n'
              '{"type":"Feature","properties":{"title":"Islands"},"geometry":{"type":"MultiPolygon",'
              '"coordinates":[[[[20,20],[22,20],[22,22],[20,22],[20,20]]]]}},\n'
              '{"type":"Feature","properties":{"name":"Caf\\u00e9"},"geometry":{"type":'
              '"GeometryCollection","geometries":[{"type":"MultiPoint","coordinates":[[1,2]]}]}}\n]}\n')
sequence = ('\x1e{"type":"Feature","properties":{"name":"Seq 1"},"geometry":{"type":"Point",'
            '"coordinates":[-3.5,40.25]}}\n{"type":"Feature","properties":{"name":"Broken"\n'
            '\x1e{"type":"Feature","properties":{"name":"Seq 2"},"geometry":{"type":"MultiLineString",'
            '"coordinates":[[[0,10],[0,20]]]}}\n')
sheet = ('Name;Lat;Lon;Type\r\nAuckland;-36,8485;174,7633;City\r\n"Semi; colon ""q""";1,5;2,5;\r\n'
         '"Two\r\nlines";3.25;4.5;Note\r\n')
orte = 'Nr\tOrt\tBreite\tLaenge\tArt\n1\tBern\t46.95\t7.45\tStadt\n'
gaz = ('name_id,name,status,feat_id,feat_type,crd_latitude,crd_longitude\n'
       '1,\xc5\x8ctautahi,Official,10,Town,-43.5321,172.6362\n'
       '2,"Whakat\xc4\x81ne, East",Official,11,Town,-37.9533,176.9907\n')
seed(d, 'doc.kml', 'kml', kml)
seed(d, 'places.geojson', 'geojson', collection)
seed(d, 'sheet.csv', 'table', sheet)

d = fresh('kml')
seed(d, 'doc.kml', 'kml', kml, ['doc.kml'])

geojson_names = ['places.geojson', 'places.geojsonl', 'portal.json']
d = fresh('geojson')
seed(d, 'places.geojson', 'collection', collection, geojson_names)
seed(d, 'places.geojsonl', 'sequence', sequence, geojson_names)
seed(d, 'portal.json', 'portal', collection, geojson_names)

# The second three picks of the tables target name the columns (by name,
# then by number).
table_names = ['sheet.csv', 'orte.tsv', 'gaz.txt']
d = fresh('tables')
seed(d, 'sheet.csv', 'sheet', sheet, table_names)
seed(d, 'orte.tsv', 'orte', orte, table_names)
seed(d, 'gaz.txt', 'gaz', gaz, table_names)
put(d, 'orte-named', bytes([4]) + orte.encode('latin-1'))
put(d, 'numbers', bytes([3]) + b'1|Wellington|-41.28|174.77|capital\n')

d = fresh('gpx')
put(d, 'gpx', b'\x00' + gpx.encode('latin-1'))
put(d, 'gpx-utf16', b'\x00' + b'\xfe\xff' + gpx[3:].replace('UTF-8', 'UTF-16').encode('latin-1').decode('utf-8').encode('utf-16-be'))

csv_names = ['MA.csv', 'SN.csv', 'DomesticNames_AL.txt']
d = fresh('csv')
seed(d, 'MA.csv', 'gazetteer', gazetteer_csv, csv_names)
seed(d, 'SN.csv', 'open-names', open_names, csv_names)
seed(d, 'SN.csv', 'open-names-header', open_names_header, csv_names)
seed(d, 'DomesticNames_AL.txt', 'domestic', domestic, csv_names)

# --- osm: the first byte picks PBF, XML, bzip2 XML or expanded XML (the
# order of kNames in fuzz/ReaderFuzz.cpp). The PBF seeds are the XML ones
# written by osmium-tool (scripts/install-deps.sh --bench) where it is there.
import bz2, subprocess, tempfile
osm_names = ['li.osm.pbf', 'li.osm', 'li.osm.bz2', 'li.osm.usa']
def osm_xml(body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<osm version="0.6" generator="seed">\n'
            + body + '</osm>\n')
def nodes(points, first):
    return ''.join('<node id="%d" lat="%.7f" lon="%.7f"/>\n' % (first + i, 46 + y / 100, 10 + x / 100)
                   for i, (x, y) in enumerate(points))
def way(wid, refs, tags):
    return ('<way id="%d">' % wid + ''.join('<nd ref="%d"/>' % r for r in refs)
            + ''.join('<tag k="%s" v="%s"/>' % kv for kv in tags) + '</way>\n')
c_lake = [(0, 0), (3, 0), (3, 1), (1, 1), (1, 2), (3, 2), (3, 3), (0, 3)]
shapes = osm_xml(
    nodes(c_lake, 1) + nodes([(0, 10), (4, 10), (4, 14), (0, 14), (1, 11), (2, 11), (2, 12)], 20)
    + '<node id="40" lat="47.1392862" lon="9.5227962"><tag k="place" v="village"/>'
      '<tag k="name" v="Vaduz"/><tag k="alt_name" v="Vadoz;Faduz"/></node>\n'
    + way(1, list(range(1, 9)) + [1], [('natural', 'water'), ('name', 'C Lake')])
    + way(2, [20, 21, 22], []) + way(3, [22, 23, 20], []) + way(4, [24, 25, 26, 24], [])
    + way(5, [20, 24], [('waterway', 'river'), ('name', 'Aare')])
    + way(6, [24, 21], [('waterway', 'river'), ('name', 'Aare')])
    + '<relation id="1"><member type="way" ref="2" role="outer"/>'
      '<member type="way" ref="3" role="outer"/><member type="way" ref="4" role="inner"/>'
      '<tag k="type" v="multipolygon"/><tag k="landuse" v="forest"/><tag k="name" v="Wald"/>'
      '</relation>\n'
    + '<relation id="2"><member type="way" ref="5" role=""/><member type="way" ref="6" role=""/>'
      '<tag k="type" v="waterway"/><tag k="waterway" v="river"/><tag k="name" v="Aare"/>'
      '</relation>\n')
d = fresh('osm')
seed(d, 'li.osm', 'xml', shapes, osm_names)
seed(d, 'li.osm.usa', 'xml-expanded', shapes, osm_names)
seed(d, 'li.osm.bz2', 'xml-bzip2', bz2.compress(shapes.encode()), osm_names)
if shutil.which('osmium'):
    with tempfile.TemporaryDirectory() as t:
        open(os.path.join(t, 'in.osm'), 'w').write(shapes)
        subprocess.run(['osmium', 'cat', '-o', os.path.join(t, 'out.osm.pbf'),
                        os.path.join(t, 'in.osm')], check=True)
        seed(d, 'li.osm.pbf', 'pbf', open(os.path.join(t, 'out.osm.pbf'), 'rb').read(), osm_names)
else:
    print('make-corpus.sh: no osmium-tool, the osm target keeps no PBF seed', file=sys.stderr)

# --- datums: datums.dat files (name, ellipsoid, dx, dy, dz).
d = fresh('datums')
put(d, 'plain', 'My Datum,20,-87,-98,-121\r\nOther,3,1,2,3\r\n')
put(d, 'limits', 'Evil,20,-2147483648,0,0\nBig,2147483648,2147483647,-2147483648,99999999999\n'
              'Far,30,100,-50,20\nNegative,-1,100,-50,20\n')
put(d, 'loose', 'Bad,12.5,--5,x,\nSigns,+3,-7, 1 0 ,abc9\n  Spaced Name  ,3,1\n\tTabbed,2\n'
              + 'x' * 45 + 'Y,1\nNo Newline At End,7')

# --- ini: TOPONYX.INI files; the first byte picks the key written.
d = fresh('ini')
put(d, 'program', '\x00[Paths]\r\nListFilesPath=/home/a/Downloads\r\nSaveFilesPath=/home/a/Toponyx\r\n'
                  'TempFilesPath=/tmp/\r\nWWW="http://example.org/gazetteers"\r\nFileType=2\r\n')
put(d, 'mixed', '\x01; comment\n[other]\nlistfilespath = x\n\n[ paths ]\n  SaveFilesPath = \'quoted\' \n'
                '[PATHS]\nTempFilesPath=second\n')
put(d, 'broken', '\x02[Paths\nkey without value\n=value without key\n[]\n[Paths]]\nWWW==x\r\r\n')
PY
echo "seeds: $(find "$corpus" -type f | wc -l) files, $(du -sk "$corpus" | cut -f1) KiB in $corpus"
